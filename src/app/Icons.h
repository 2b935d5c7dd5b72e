#pragma once
// The pictures of the main window's three image lists, drawn here in code on a 16 × 16 grid and
// rendered separately at 16, 32 and 48 pixels, so they stay crisp at 16 × 16 and on HiDPI screens.
#include <QIcon>
#include <QImage>

namespace vellaro {

enum class IconId {
    NewSheet,         // a blank white sheet with a folded corner
    OpenFolder,       // an open yellow folder with a curved arrow above it
    Floppy,           // a floppy disk
    Scissors,         // blue scissors
    CopySheets,       // two overlapping sheets
    PasteClipboard,   // a clipboard with a sheet on it
    TextSheet,        // a white sheet with rows of text
    Computer,         // a computer with a cyan screen
    ScreenCross,      // a framed screen with a red cross
    ScreenVertical,   // a framed screen with red vertical stripes
    ScreenHorizontal, // a framed screen with red horizontal stripes
    StepForward       // a green arrowhead against a bar: one statement on
};

// The picture at size × size pixels on a transparent background.
QImage IconImage(IconId id, int size);
// The icon with pictures at 16, 32 and 48 pixels.
QIcon MakeIcon(IconId id);

// The image lists by index, as the toolbars use them.
QIcon EditImage(int index);  // 0 new, 1 load, 2 save, 3 cut, 4 copy, 5 paste
QIcon ImageList(int index);  // 0 load Java source, 1 write Java source, 2 compile, 3 run
QIcon paintImage(int index); // 0 all four directions, 1 vertical, 2 horizontal
// "ステップ実行". Drawn like the others: a theme's icon would cost a search through the icon
// theme's folders at every start.
QIcon StepImage();

} // namespace vellaro
