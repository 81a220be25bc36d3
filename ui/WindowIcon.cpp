#include "WindowIcon.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <string_view>

namespace {

// A 3x5 block font for the letters the large icon spells; each row is three bits, left first.
struct Glyph
{
    char letter;
    std::array<unsigned char, 5> rows;
};

constexpr std::array<Glyph, 7> Font{{
    {'A', {0b010, 0b101, 0b111, 0b101, 0b101}},
    {'C', {0b111, 0b100, 0b100, 0b100, 0b111}},
    {'I', {0b111, 0b010, 0b010, 0b010, 0b111}},
    {'K', {0b101, 0b101, 0b110, 0b101, 0b101}},
    {'L', {0b100, 0b100, 0b100, 0b100, 0b111}},
    {'S', {0b111, 0b100, 0b111, 0b001, 0b111}},
    {'T', {0b111, 0b010, 0b010, 0b010, 0b010}},
}};

void drawBlockWord(QPainter& painter, std::string_view word, int top, const QColor& colour)
{
    constexpr int Block = 2;           // pixels per font cell
    constexpr int Advance = 4 * Block; // three cells and a gap
    int left = (32 - static_cast<int>(word.size()) * Advance + Block) / 2;
    for (const char letter : word) {
        for (const Glyph& glyph : Font) {
            if (glyph.letter != letter)
                continue;
            for (int row = 0; row < 5; ++row) {
                for (int col = 0; col < 3; ++col) {
                    if (glyph.rows[static_cast<std::size_t>(row)] & (0b100 >> col))
                        painter.fillRect(left + col * Block, top + row * Block, Block, Block,
                                         colour);
                }
            }
        }
        left += Advance;
    }
}

} // namespace

QPixmap WindowIcon::small()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    // A handset: a thick arc with an ear cup and a mouth cup at its ends.
    const QColor blue(0x1f, 0x4f, 0xc8);
    QPen handle(blue, 2.5, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(handle);
    QPainterPath arc;
    arc.moveTo(3.5, 11.0);
    arc.cubicTo(2.0, 5.0, 8.0, 1.5, 12.5, 4.0);
    painter.drawPath(arc);
    painter.setPen(Qt::NoPen);
    painter.setBrush(blue);
    painter.drawEllipse(QRectF(1.0, 10.0, 5.0, 4.0));
    painter.drawEllipse(QRectF(10.5, 2.0, 5.0, 4.0));

    // Struck through: a red diagonal cross over the whole image.
    painter.setPen(QPen(QColor(0xd0, 0x10, 0x10), 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(2.0, 2.0), QPointF(14.0, 14.0));
    painter.drawLine(QPointF(14.0, 2.0), QPointF(2.0, 14.0));
    return pixmap;
}

QPixmap WindowIcon::large()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    drawBlockWord(painter, "CALL", 0, QColor(0x1f, 0x4f, 0xc8));
    drawBlockWord(painter, "LIST", 11, QColor(0x18, 0x90, 0x30));
    drawBlockWord(painter, "KILL", 22, QColor(0xd0, 0x10, 0x10));
    return pixmap;
}

QIcon WindowIcon::icon()
{
    QIcon result;
    result.addPixmap(small());
    result.addPixmap(large());
    return result;
}
