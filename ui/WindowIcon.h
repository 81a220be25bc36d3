#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <array>

// The program's icon, drawn in code so that its source lives in the repository: at 16x16 a blue
// telephone struck through by a red cross, at 32x32 three rows of block lettering in blue,
// green and red. 48 to 128 draw the lettering with bigger blocks, so every size is as sharp as
// the 32x32 one instead of a blurred enlargement; 256, the size a desktop shows large, draws
// the telephone struck through again, in curves.
class WindowIcon
{
public:
    // The sizes drawn, and the ones installed for desktops.
    static constexpr std::array<int, 6> Sizes{16, 32, 48, 64, 128, 256};

    // One of Sizes; any other size gives a null image.
    static QImage drawn(int size);
    static QPixmap small();
    static QPixmap large();
    static QIcon icon();
};
