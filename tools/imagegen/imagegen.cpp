// imagegen: draws the station's images (signal lamps, logo, program icon) into a folder.
// The PNGs in res/images are its output; run it again after changing a drawing.
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kLampSize = 200;

struct LampColours {
    QColor highlight;  // centre of the glass, where the light is brightest
    QColor body;
    QColor rim;        // edge of the glass
    bool lit;
};

// Lamp bitmaps are drawn on pure white, which the lamp controls show as transparent; no
// pixel of the lamp itself may come out pure white.
void ProtectLampPixels(QImage& image, double radius)
{
    const double centre = kLampSize / 2.0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const double dx = x + 0.5 - centre;
            const double dy = y + 0.5 - centre;
            if (dx * dx + dy * dy <= radius * radius && image.pixel(x, y) == qRgb(255, 255, 255))
                image.setPixel(x, y, qRgb(254, 254, 254));
        }
    }
}

QImage DrawLamp(const LampColours& colours)
{
    QImage image(kLampSize, kLampSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(kLampSize / 2.0, kLampSize / 2.0);

    // Metal bezel, lit from above.
    QLinearGradient bezel(0, 4, 0, kLampSize - 4);
    bezel.setColorAt(0.0, QColor(118, 124, 132));
    bezel.setColorAt(0.5, QColor(58, 62, 68));
    bezel.setColorAt(1.0, QColor(24, 26, 30));
    painter.setPen(QPen(QColor(20, 22, 25), 1.5));
    painter.setBrush(bezel);
    painter.drawEllipse(centre, 95, 95);

    // Inner bevel, shaded the other way round so the glass looks recessed.
    QLinearGradient bevel(0, 14, 0, kLampSize - 14);
    bevel.setColorAt(0.0, QColor(16, 17, 19));
    bevel.setColorAt(1.0, QColor(92, 97, 104));
    painter.setPen(Qt::NoPen);
    painter.setBrush(bevel);
    painter.drawEllipse(centre, 86, 86);

    // The glass, with its light source up and to the left.
    QRadialGradient glass(centre, 80, centre - QPointF(22, 26));
    glass.setColorAt(0.0, colours.highlight);
    glass.setColorAt(0.55, colours.body);
    glass.setColorAt(1.0, colours.rim);
    painter.setBrush(glass);
    painter.drawEllipse(centre, 80, 80);

    if (colours.lit) {
        // A soft inner glow makes the lit glass seem to shine from within.
        QRadialGradient glow(centre, 80);
        QColor inner = colours.highlight;
        inner.setAlpha(90);
        QColor outer = colours.highlight;
        outer.setAlpha(0);
        glow.setColorAt(0.0, inner);
        glow.setColorAt(0.7, outer);
        painter.setBrush(glow);
        painter.drawEllipse(centre, 80, 80);
    }

    // Glossy reflection on the upper half of the glass.
    const QRectF gloss(centre.x() - 56, centre.y() - 74, 112, 72);
    QLinearGradient shine(0, gloss.top(), 0, gloss.bottom());
    shine.setColorAt(0.0, QColor(255, 255, 255, colours.lit ? 185 : 120));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setBrush(shine);
    painter.drawEllipse(gloss);

    // A faint rim light along the lower edge of the glass.
    QPainterPath rim;
    rim.addEllipse(centre, 76, 76);
    QPainterPath cut;
    cut.addEllipse(centre - QPointF(0, 8), 78, 78);
    QLinearGradient rimLight(0, centre.y() + 40, 0, centre.y() + 80);
    rimLight.setColorAt(0.0, QColor(255, 255, 255, 0));
    rimLight.setColorAt(1.0, QColor(255, 255, 255, colours.lit ? 110 : 60));
    painter.setBrush(rimLight);
    painter.drawPath(rim.subtracted(cut));
    painter.end();

    ProtectLampPixels(image, 96);
    return image;
}

// A transponder card with radio waves: used by the logo and the program icon.
void DrawTransponder(QPainter& painter, const QRectF& card, const QColor& cardColour,
                     const QColor& chipColour, const QColor& waveColour)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(cardColour);
    painter.drawRoundedRect(card, card.height() * 0.14, card.height() * 0.14);

    // The chip with its contact lines.
    const double chipSize = card.height() * 0.34;
    const QRectF chip(card.left() + card.width() * 0.16, card.center().y() - chipSize / 2,
                      chipSize * 1.2, chipSize);
    painter.setBrush(chipColour);
    painter.drawRoundedRect(chip, chipSize * 0.16, chipSize * 0.16);
    painter.setPen(QPen(cardColour, std::max(1.0, chipSize * 0.06)));
    painter.drawLine(QPointF(chip.left(), chip.center().y()), QPointF(chip.right(), chip.center().y()));
    painter.drawLine(QPointF(chip.center().x(), chip.top()), QPointF(chip.center().x(), chip.bottom()));

    // Waves leaving the card to the right.
    const QPointF source(card.right() - card.width() * 0.3, card.center().y());
    QPen wave(waveColour, card.height() * 0.085, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(wave);
    painter.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        const double radius = card.height() * (0.2 + 0.17 * i);
        const QRectF arc(source.x() - radius, source.y() - radius, 2 * radius, 2 * radius);
        painter.drawArc(arc, -40 * 16, 80 * 16);
    }
}

QImage DrawLogo()
{
    QImage image(400, 110, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QColor blue(24, 72, 140);
    const QColor orange(236, 128, 32);
    DrawTransponder(painter, QRectF(10, 26, 84, 58), blue, QColor(232, 190, 80), orange);

    QFont title("DejaVu Sans");
    title.setPixelSize(44);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(blue);
    painter.drawText(QRectF(138, 8, 260, 54), Qt::AlignLeft | Qt::AlignBottom, "Orvex");

    QFont subtitle("DejaVu Sans");
    subtitle.setPixelSize(21);
    painter.setFont(subtitle);
    painter.setPen(QColor(70, 76, 84));
    painter.drawText(QRectF(140, 62, 260, 30), Qt::AlignLeft | Qt::AlignVCenter,
                     "FSK Programmer");

    painter.setPen(QPen(orange, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(141, 97), QPointF(330, 97));
    return image;
}

// The program icon, drawn on a 256-pixel grid and scaled to the size asked for, so that the
// small sizes are drawn rather than shrunk.
QImage DrawIcon(int size = 256)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);

    QLinearGradient tile(0, 12, 0, 244);
    tile.setColorAt(0.0, QColor(52, 118, 214));
    tile.setColorAt(1.0, QColor(18, 54, 120));
    painter.setPen(QPen(QColor(12, 38, 90), 3));
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(12, 12, 232, 232), 44, 44);

    QLinearGradient gloss(0, 14, 0, 128);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 70));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gloss);
    painter.drawRoundedRect(QRectF(16, 16, 224, 112), 40, 40);

    DrawTransponder(painter, QRectF(36, 78, 132, 100), QColor(245, 247, 250),
                    QColor(232, 178, 56), QColor(255, 160, 64));
    return image;
}

bool Save(const QImage& image, const QString& folder, const char* name)
{
    const QString path = folder + "/" + name;
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "imagegen: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: imagegen OUTPUT_FOLDER\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);

    const LampColours red{QColor(255, 150, 130), QColor(226, 38, 30), QColor(110, 6, 6), true};
    const LampColours yellow{QColor(255, 246, 170), QColor(246, 196, 20), QColor(140, 92, 0),
                             true};
    const LampColours green{QColor(170, 255, 160), QColor(40, 190, 60), QColor(8, 82, 22), true};
    const LampColours off{QColor(120, 126, 132), QColor(66, 70, 76), QColor(28, 30, 34), false};

    const bool ok = Save(DrawLamp(red), folder, "lamp_red.png") &&
                    Save(DrawLamp(yellow), folder, "lamp_yellow.png") &&
                    Save(DrawLamp(green), folder, "lamp_green.png") &&
                    Save(DrawLamp(off), folder, "lamp_off.png") &&
                    Save(DrawLogo(), folder, "logo.png") &&
                    Save(DrawIcon(), folder, "orvex-fsk-programmer.png");
    if (!ok) return 1;
    // The desktop's icon sizes, beside the images in ../icons/SIZE.
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString sizeFolder = folder + "/../icons/" + QString::number(size);
        QDir().mkpath(sizeFolder);
        if (!Save(DrawIcon(size), sizeFolder, "orvex-fsk-programmer.png")) return 1;
    }
    return 0;
}
