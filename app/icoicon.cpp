#include "icoicon.h"

#include <QFile>
#include <QIcon>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QtEndian>

#include <map>

using namespace Qt::StringLiterals;

namespace {

class IcoIconEngine final : public QIconEngine
{
public:
    explicit IcoIconEngine(const QString &path)
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            m_ico = file.readAll();
        // The header: a count at byte 4, then 16 bytes an image (side, ..., length, offset).
        const auto *bytes = reinterpret_cast<const uchar *>(m_ico.constData());
        const qsizetype count = m_ico.size() >= 6 ? qFromLittleEndian<quint16>(bytes + 4) : 0;
        for (qsizetype i = 0; i < count && 6 + 16 * (i + 1) <= m_ico.size(); ++i) {
            const uchar *entry = bytes + 6 + 16 * i;
            const qsizetype length = qFromLittleEndian<quint32>(entry + 8);
            const qsizetype offset = qFromLittleEndian<quint32>(entry + 12);
            if (offset <= m_ico.size() && length <= m_ico.size() - offset)
                m_images[entry[0] ? entry[0] : 256] = {offset, length, QPixmap()};
        }
    }

    QIconEngine *clone() const override { return new IcoIconEngine(*this); }
    QString key() const override { return u"IcoIconEngine"_s; }
    bool isNull() override { return m_images.empty(); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const auto &[side, image] : m_images)
            sizes.append(QSize(side, side));
        return sizes;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const auto found = bestFor(size);
        if (found == m_images.end())
            return {};
        return QSize(found->first, found->first).boundedTo(size);
    }

    // The picture drawn for the smallest size that fills `size`, shrunk where none fits.
    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const auto found = bestFor(size);
        if (found == m_images.end())
            return {};
        Image &image = found->second;
        if (image.decoded.isNull())
            image.decoded = QPixmap::fromImage(
                QImage::fromData(QByteArrayView(m_ico).sliced(image.offset, image.length)));
        if (image.decoded.width() <= size.width() && image.decoded.height() <= size.height())
            return image.decoded;
        return image.decoded.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device()->devicePixelRatio();
        painter->drawPixmap(rect, pixmap(rect.size() * scale, mode, state));
    }

private:
    struct Image
    {
        qsizetype offset = 0;
        qsizetype length = 0;
        QPixmap decoded;
    };

    std::map<int, Image>::iterator bestFor(const QSize &size)
    {
        const auto fits = m_images.lower_bound(qMax(size.width(), size.height()));
        return fits != m_images.end() || m_images.empty() ? fits : std::prev(fits);
    }

    QByteArray m_ico;
    std::map<int, Image> m_images; // by side, in pixels
};

} // namespace

QIcon icoIcon(const QString &path)
{
    return QIcon(new IcoIconEngine(path));
}
