// Draws the picture of the download window (chips of the four seat colours
// climbing the eleven columns, with two dice) and writes it as a JPEG with
// libjpeg. Built and run by scripts/make-download-picture.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace {

constexpr int Width = 300;
constexpr int Height = 90;

void drawChip(QPainter& p, QPointF centre, qreal r, QColor colour) {
    QRadialGradient shade(centre - QPointF(r / 3, r / 3), r * 1.4);
    shade.setColorAt(0, colour.lighter(160));
    shade.setColorAt(1, colour.darker(130));
    p.setPen(QPen(colour.darker(200), 0.8));
    p.setBrush(shade);
    p.drawEllipse(centre, r, r);
}

void drawDie(QPainter& p, QRectF box, int face, qreal angle) {
    p.save();
    p.translate(box.center());
    p.rotate(angle);
    const QRectF r(-box.width() / 2, -box.height() / 2, box.width(), box.height());
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(1, QColor(205, 205, 215));
    p.setPen(QPen(QColor(90, 90, 110), 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 4, 4);
    static const int pips[7][6][2] = {
        {},
        {{1, 1}},
        {{0, 0}, {2, 2}},
        {{0, 0}, {1, 1}, {2, 2}},
        {{0, 0}, {2, 0}, {0, 2}, {2, 2}},
        {{0, 0}, {2, 0}, {1, 1}, {0, 2}, {2, 2}},
        {{0, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {2, 2}},
    };
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 40));
    const qreal step = r.width() / 4;
    for (int i = 0; i < face; ++i)
        p.drawEllipse(QPointF(r.left() + step * (pips[face][i][0] + 1),
                              r.top() + step * (pips[face][i][1] + 1)),
                      2.1, 2.1);
    p.restore();
}

// The picture at its size times scale (1, or 2 for dense screens), drawn
// from the same shapes.
QImage render(int scale) {
    QImage image(Width * scale, Height * scale, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);

    QLinearGradient sky(0, 0, Width, Height);
    sky.setColorAt(0, QColor(18, 32, 78));
    sky.setColorAt(1, QColor(74, 24, 92));
    p.fillRect(QRectF(0, 0, Width, Height), sky);

    // Eleven columns, tallest in the middle, each a rail of chip places.
    const int heights[11] = {3, 5, 7, 9, 11, 13, 11, 9, 7, 5, 3};
    const int reached[11] = {2, 3, 6, 4, 9, 7, 10, 5, 3, 4, 1};
    const QColor seats[4] = {QColor(240, 200, 30), QColor(40, 110, 230), QColor(40, 170, 70),
                             QColor(150, 60, 190)};
    const qreal left = 112, gap = 17, bottom = 84, cell = 5.9;
    for (int c = 0; c < 11; ++c) {
        const qreal x = left + c * gap;
        const qreal top = bottom - heights[c] * cell;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 28));
        p.drawRoundedRect(QRectF(x - 6, top - 4, 12, bottom - top + 6), 5, 5);
        for (int k = 0; k < heights[c]; ++k) {
            p.setBrush(QColor(255, 255, 255, 45));
            p.drawEllipse(QPointF(x, bottom - k * cell - 2), 1.4, 1.4);
        }
        drawChip(p, QPointF(x, bottom - reached[c] * cell - 2), 4.6, seats[(c * 3 + 1) % 4]);
        if (c % 3 == 0 && reached[c] > 2)
            drawChip(p, QPointF(x, bottom - (reached[c] - 2) * cell - 2), 4.6, seats[(c + 2) % 4]);
    }

    drawDie(p, QRectF(10, 50, 26, 26), 5, -12);
    drawDie(p, QRectF(44, 56, 26, 26), 6, 9);

    QFont font("Sans", 14, QFont::Bold);
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(QRectF(9, 7, 104, 30), Qt::AlignLeft | Qt::AlignVCenter, "Climora");
    p.setPen(QColor(255, 226, 120));
    p.drawText(QRectF(7, 5, 104, 30), Qt::AlignLeft | Qt::AlignVCenter, "Climora");
    p.end();
    return image;
}

bool writeJpeg(const QImage& image, const char* path) {
    FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 88, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv) {
    const int scale = argc == 3 ? std::atoi(argv[2]) : 1;
    if (argc < 2 || argc > 3 || scale < 1 || scale > 4) {
        std::fprintf(stderr, "usage: %s OUTPUT.jpg [SCALE]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return writeJpeg(render(scale), argv[1]) ? 0 : 1;
}
