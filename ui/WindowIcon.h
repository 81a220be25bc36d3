#pragma once

#include <QIcon>
#include <QPixmap>

// The program's icon, drawn in code so that its source lives in the repository: at 16x16 a blue
// telephone struck through by a red cross, at 32x32 three rows of block lettering in blue,
// green and red.
class WindowIcon
{
public:
    static QPixmap small();
    static QPixmap large();
    static QIcon icon();
};
