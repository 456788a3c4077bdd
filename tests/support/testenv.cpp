#include "testenv.h"

#include "qttranslation.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif
#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#endif

// Every test process gets Qt's Ukrainian texts, as main() gives them to the program.
static void useQtTranslation()
{
    if (!installQtTranslation(*QCoreApplication::instance()))
        qFatal("test set-up: Qt's Ukrainian translation did not load");
}
Q_COREAPP_STARTUP_FUNCTION(useQtTranslation)

ScratchDir::ScratchDir(const QStringList &modFiles)
    : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
    for (const QString &name : modFiles)
        writeFile(m_dir.filePath(QStringLiteral("Mods/") + name), name.toUtf8());
}

ScratchDir::~ScratchDir()
{
    QDir::setCurrent(m_previous);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("test set-up: cannot write %s", qPrintable(path));
}

void hideFile(const QString &path)
{
#ifdef Q_OS_WIN
    if (!SetFileAttributesW(
            reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
            FILE_ATTRIBUTE_HIDDEN))
        qFatal("test set-up: cannot hide %s", qPrintable(path));
#else
    if (!QFileInfo(path).fileName().startsWith(u'.'))
        qFatal("test set-up: %s needs a name that starts with a dot", qPrintable(path));
#endif
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void makeDirs(const QString &path)
{
    if (!QDir().mkpath(path))
        qFatal("test set-up: cannot create %s", qPrintable(path));
}

QStringList listing(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

UrlCatcher::UrlCatcher()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

UrlCatcher::~UrlCatcher()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void UrlCatcher::open(const QUrl &url)
{
    opened.append(url);
}

WindowFixture::WindowFixture(const QStringList &modFiles)
    : work(modFiles)
    , installer(nullptr)
    , window(&installer, nullptr)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qWarning("test set-up: the main window was not exposed");
}

QPushButton *WindowFixture::button(const QString &text) const
{
    const auto buttons = window.findChildren<QPushButton *>();
    for (QPushButton *b : buttons) {
        if (b->text() == text)
            return b;
    }
    qFatal("no button %s", qPrintable(text));
}

QAction *WindowFixture::action(const QString &text) const
{
    const auto menus = window.menuBar()->findChildren<QMenu *>();
    for (const QMenu *menu : menus) {
        const auto actions = menu->actions();
        for (QAction *a : actions) {
            if (a->text() == text && !a->menu())
                return a;
        }
    }
    qFatal("no menu item %s", qPrintable(text));
}

QListWidget *WindowFixture::modList() const
{
    return window.findChild<QListWidget *>();
}

QString WindowFixture::status() const
{
    return window.statusBar()->currentMessage();
}

QString WindowFixture::gamePath() const
{
    return window.findChild<QLineEdit *>()->text();
}

QStringList WindowFixture::mods() const
{
    QStringList texts;
    for (int row = 0; row < modList()->count(); ++row)
        texts.append(modList()->item(row)->text());
    return texts;
}

void WindowFixture::setGamePath(const QString &path)
{
    emit installer.ivlDirsFound({path});
}

bool closeStrayWindows()
{
    bool found = false;
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *w : widgets) {
        if (!w->isVisible())
            continue;
        found = true;
        if (auto *dialog = qobject_cast<QDialog *>(w))
            dialog->reject();
        else
            w->close();
    }
    return found;
}

#ifdef Q_OS_LINUX
static bool fail(QString *why, const char *what)
{
    *why = QString::fromLatin1("%1: %2").arg(QLatin1StringView(what),
                                             QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

bool enterPrivateMountNamespace(QString *why)
{
    static int state = 0; // 0 not tried, 1 inside, -1 refused
    static QString refusal;
    if (state == 0) {
        state = -1;
        if (::unshare(CLONE_NEWNS) != 0)
            fail(&refusal, "unshare(CLONE_NEWNS)");
        else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            fail(&refusal, "making / private");
        else
            state = 1;
    }
    *why = refusal;
    return state == 1;
}

bool TmpfsMounts::mount(const QString &where, const QString &size, QString *why)
{
    if (!enterPrivateMountNamespace(why))
        return false;
    QDir().mkpath(where);
    const QByteArray options = "size=" + size.toLatin1();
    if (::mount("tmpfs", QFile::encodeName(where).constData(), "tmpfs", 0, options.constData())
        != 0)
        return fail(why, "mount tmpfs");
    m_points.append(where);
    return true;
}

bool TmpfsMounts::makeReadOnly(const QString &where, QString *why)
{
    if (::mount(nullptr, QFile::encodeName(where).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                nullptr)
        != 0)
        return fail(why, "remount read-only");
    return true;
}

TmpfsMounts::~TmpfsMounts()
{
    for (const QString &point : m_points)
        ::umount2(QFile::encodeName(point).constData(), MNT_DETACH);
}
#endif
