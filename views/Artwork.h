#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The program's icons: PNGs compiled in from views/artwork (drawn as the SVGs beside them), each
// at its size and at twice it for scaled screens. Icons show the same image when selected rather
// than a tinted one. Call only once a QGuiApplication exists; the results are cached, so repeated
// calls are cheap.
namespace Artwork {

// Images of the group tree, each treeImageSize.
enum TreeImage { BookClosed, BookOpen, FolderClosed, FolderOpen, PostFlag, AtSign };
inline constexpr int treeImageCount = 6;
inline constexpr QSize treeImageSize{18, 16};

// Toolbar buttons, each toolbarImageSize.
enum ToolbarImage {
    Open,
    Save,
    Delete,
    Properties,
    MoveUp,
    MoveDown,
    InsertGroup,
    InsertSeparator,
    InsertAddress
};
inline constexpr int toolbarImageCount = 9;
inline constexpr QSize toolbarImageSize{16, 15};

// An address book, at 16, 32, 48 and 64 pixels.
QIcon applicationIcon();

// At twice the size, with a device pixel ratio of 2, when a screen is scaled up.
QPixmap treeImage(TreeImage image);

// kind: 0 address, 1 group, 2 separator; 16 and 32 pixels. Other kinds give a null icon.
QIcon kindIcon(int kind);

QIcon toolbarIcon(ToolbarImage image);

} // namespace Artwork
