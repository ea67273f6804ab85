#include "ShellSocketPlace.h"

#include "framework/PathNames.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The fallback folder, made if missing. mkdir never follows or replaces what another user
// put there first: whatever is there is checked before use.
QString OwnTemporaryFolder(QString* problem) {
    const QString folder = QDir::tempPath() + QStringLiteral("/tellwick-%1").arg(::geteuid());
    const QByteArray bytes = EncodePathBytes(folder);
    if (::mkdir(bytes.constData(), 0700) == 0)
        ::chmod(bytes.constData(), 0700); // whatever the umask
    else if (const int error = errno; error != EEXIST) {
        *problem = QStringLiteral("cannot make the folder %1: %2").arg(folder, ErrnoText(error));
        return {};
    }
    *problem = PrivateFolderProblem(folder);
    return problem->isEmpty() ? folder : QString();
}

} // namespace

QString PrivateFolderProblem(const QString& path) {
    struct stat info {};
    if (::lstat(EncodePathBytes(path).constData(), &info) != 0) {
        const int error = errno;
        return QStringLiteral("%1: %2").arg(path, ErrnoText(error));
    }
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link, not a private folder").arg(path);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a folder").arg(path);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("the folder %1 belongs to another user (uid %2)")
            .arg(path)
            .arg(info.st_uid);
    if ((info.st_mode & 07777) != 0700)
        return QStringLiteral("the folder %1 has mode %2, not 0700: others may use it")
            .arg(path)
            .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

QString ShellSocketPath(const QString& name, QString* problem) {
    QString ignored;
    QString& why = problem ? *problem : ignored;
    why.clear();
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder;
    if (!runtime.isEmpty() && PrivateFolderProblem(runtime).isEmpty())
        folder = runtime;
    else
        folder = OwnTemporaryFolder(&why);
    return folder.isEmpty() ? QString() : folder + u'/' + name;
}
