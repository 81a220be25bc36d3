#include "WindowIcon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

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

// Block: pixels per font cell, 2 in the 32x32 image.
void drawBlockWord(QPainter& painter, std::string_view word, int size, int top,
                   const QColor& colour)
{
    const int Block = size / 16;
    const int Advance = 4 * Block; // three cells and a gap
    int left = (size - static_cast<int>(word.size()) * Advance + Block) / 2;
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

QImage smallImage()
{
    // A desk telephone, pixel by pixel: at 16x16 a drawn curve blurs into a smudge.
    constexpr std::array<std::string_view, 16> Telephone{{
        "................",
        "..############..",
        ".##############.",
        "###..........###",
        "###..........###",
        "................",
        ".....######.....",
        "....###..###....",
        "...###.##.###...",
        "..###..##..###..",
        ".###.######.###.",
        ".##############.",
        ".##############.",
        ".##############.",
        "................",
        "................",
    }};
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const QRgb blue = qRgb(0x1f, 0x4f, 0xc8);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (Telephone[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#')
                image.setPixel(x, y, blue);

    // Struck through: a red diagonal cross over the whole image.
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0xd0, 0x10, 0x10), 1.6, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(0.5, 0.5), QPointF(15.5, 15.5));
    painter.drawLine(QPointF(15.5, 0.5), QPointF(0.5, 15.5));
    painter.end();
    return image;
}

// The 16x16 telephone drawn large, in curves: the handset's bar and ear pieces above, the body
// below widening to its foot, with its dial, then the same red cross from corner to corner.
// Drawn on a grid of 256, the one size it is used at.
QImage largeTelephone()
{
    constexpr int Size = 256;
    QImage image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor blue(0x1f, 0x4f, 0xc8);

    QPainterPath handset;
    handset.addRoundedRect(QRectF(28, 22, 200, 34), 17, 17);
    handset.addRoundedRect(QRectF(10, 40, 58, 50), 16, 16);
    handset.addRoundedRect(QRectF(188, 40, 58, 50), 16, 16);
    handset.setFillRule(Qt::WindingFill);

    QPainterPath body;
    body.moveTo(88, 100);
    body.lineTo(168, 100);
    body.lineTo(234, 172);
    body.lineTo(234, 218);
    body.lineTo(22, 218);
    body.lineTo(22, 172);
    body.closeSubpath();
    // Round the body's corners by stroking its outline with round joins.
    QPainterPathStroker rounding;
    rounding.setWidth(16);
    rounding.setJoinStyle(Qt::RoundJoin);
    body = body.united(rounding.createStroke(body)).simplified();
    // The dial: a ring cut out of the body, and its hub.
    QPainterPath ring;
    ring.addEllipse(QPointF(128, 152), 36, 36);
    QPainterPath hub;
    hub.addEllipse(QPointF(128, 152), 21, 21);
    body = body.subtracted(ring).united(hub);

    painter.fillPath(handset.simplified(), blue);
    painter.fillPath(body, blue);

    // A light edge keeps the cross apart from the blue beneath it.
    for (const auto& [width, colour] :
         {std::pair(34.0, QColor(255, 255, 255, 230)), std::pair(22.0, QColor(0xd0, 0x10, 0x10))}) {
        painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(20, 20), QPointF(236, 236));
        painter.drawLine(QPointF(236, 20), QPointF(20, 236));
    }
    painter.end();
    return image;
}

QImage lettering(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    // The rows stand where they stand at 32x32 (tops 0, 11, 22), scaled.
    auto top = [size](int at32) { return at32 * size / 32; };
    drawBlockWord(painter, "CALL", size, top(0), QColor(0x1f, 0x4f, 0xc8));
    drawBlockWord(painter, "LIST", size, top(11), QColor(0x18, 0x90, 0x30));
    drawBlockWord(painter, "KILL", size, top(22), QColor(0xd0, 0x10, 0x10));
    return image;
}

} // namespace

QImage WindowIcon::drawn(int size)
{
    if (std::find(Sizes.begin(), Sizes.end(), size) == Sizes.end())
        return QImage();
    if (size == 16)
        return smallImage();
    // The largest size is the program's mark as desktops show it big: the telephone, not words.
    return size == 256 ? largeTelephone() : lettering(size);
}

QPixmap WindowIcon::small()
{
    return QPixmap::fromImage(drawn(16));
}

QPixmap WindowIcon::large()
{
    return QPixmap::fromImage(drawn(32));
}

QIcon WindowIcon::icon()
{
    QIcon result;
    for (const int size : Sizes)
        result.addPixmap(QPixmap::fromImage(drawn(size)));
    return result;
}
