#pragma once

#include <QString>

// Where the request server's socket lives: in a folder only this user may enter, so another
// user can neither take the name first nor leave a socket there that cannot be removed.

// Empty when the folder at path is this user's own: a real folder, not a symbolic link,
// owned by this user and open to nobody else (mode 0700). Otherwise what is wrong with it.
QString PrivateFolderProblem(const QString& path);

// The socket file for a server of that name: in $XDG_RUNTIME_DIR when that is a private
// folder, else in "tellwick-UID" in the temporary folder, made with mode 0700 when missing.
// Empty, with the reason in problem, when that folder cannot be made or is not private.
QString ShellSocketPath(const QString& name, QString* problem = nullptr);
