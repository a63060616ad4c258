// Draws Pavlet's button frame templates and drop arrow pixel by pixel, so that the library
// carries them without image files.
#include "flexui/FlexBitmaps.h"

#include <QColor>
#include <algorithm>
#include <string>

#include "platform/ui/GdiObjects.h"
#include "platform/ui/ImageList.h"

namespace {

struct Rgb {
    int r, g, b;
};

constexpr int kCell = 22;
constexpr int kCells = 5;
const QColor kMagenta(255, 0, 255);

// One frame cell: a vertical face gradient, a border (one or two pixels), a light inner line
// and transparent corner pixels for the rounded look.
void DrawCell(QImage& image, int cell, Rgb border, Rgb top, Rgb bottom, Rgb inner, int thick) {
    const int x0 = cell * kCell;
    for (int y = 0; y < kCell; ++y) {
        const double t = static_cast<double>(y) / (kCell - 1);
        const QColor face(static_cast<int>(top.r + (bottom.r - top.r) * t),
                          static_cast<int>(top.g + (bottom.g - top.g) * t),
                          static_cast<int>(top.b + (bottom.b - top.b) * t));
        for (int x = 0; x < kCell; ++x) image.setPixelColor(x0 + x, y, face);
    }
    const QColor edge(border.r, border.g, border.b);
    const QColor light(inner.r, inner.g, inner.b);
    for (int i = 0; i < kCell; ++i) {
        for (int k = 0; k < thick; ++k) {
            image.setPixelColor(x0 + i, k, edge);
            image.setPixelColor(x0 + i, kCell - 1 - k, edge);
            image.setPixelColor(x0 + k, i, edge);
            image.setPixelColor(x0 + kCell - 1 - k, i, edge);
        }
    }
    if (thick == 1) {
        for (int i = 1; i < kCell - 1; ++i) {
            image.setPixelColor(x0 + i, 1, light);
            image.setPixelColor(x0 + 1, i, light);
        }
    }
    image.setPixelColor(x0, 0, kMagenta);
    image.setPixelColor(x0 + kCell - 1, 0, kMagenta);
    image.setPixelColor(x0, kCell - 1, kMagenta);
    image.setPixelColor(x0 + kCell - 1, kCell - 1, kMagenta);
}

struct CellColors {
    Rgb border, top, bottom, inner;
    int thick;
};

QImage FrameTemplate(const CellColors (&cells)[kCells]) {
    QImage image(kCell * kCells, kCell, QImage::Format_RGB32);
    for (int i = 0; i < kCells; ++i)
        DrawCell(image, i, cells[i].border, cells[i].top, cells[i].bottom, cells[i].inner,
                 cells[i].thick);
    return image;
}

// Cells: normal, hot, pressed or checked, disabled, default push button.
QImage Template100() {
    static const CellColors kCellsOf100[kCells] = {
        {{112, 112, 112}, {246, 246, 246}, {222, 222, 222}, {255, 255, 255}, 1},
        {{60, 127, 177}, {234, 246, 253}, {190, 230, 253}, {240, 250, 255}, 1},
        {{44, 98, 139}, {196, 229, 246}, {152, 209, 239}, {162, 189, 205}, 1},
        {{173, 178, 181}, {244, 244, 244}, {244, 244, 244}, {252, 252, 252}, 1},
        {{30, 80, 130}, {242, 242, 242}, {217, 240, 252}, {30, 80, 130}, 2},
    };
    return FrameTemplate(kCellsOf100);
}

QImage Template101() {
    static const CellColors kCellsOf101[kCells] = {
        {{143, 143, 143}, {250, 250, 250}, {228, 228, 228}, {255, 255, 255}, 1},
        {{56, 147, 194}, {228, 244, 253}, {201, 234, 252}, {232, 245, 252}, 1},
        {{58, 104, 138}, {222, 237, 246}, {102, 175, 215}, {162, 189, 205}, 1},
        {{192, 195, 198}, {244, 244, 244}, {244, 244, 244}, {252, 252, 252}, 1},
        {{58, 104, 138}, {250, 250, 250}, {228, 228, 228}, {58, 104, 138}, 2},
    };
    return FrameTemplate(kCellsOf101);
}

// A black down-pointing triangle of 7, 5, 3 and 1 pixels on purple.
QImage DropArrow105() {
    QImage image(7, 4, QImage::Format_RGB32);
    image.fill(QColor(128, 0, 128));
    for (int row = 0; row < 4; ++row)
        for (int x = row; x < 7 - row; ++x) image.setPixelColor(x, row, Qt::black);
    return image;
}

}  // namespace

QImage LoadFlexBitmap(UINT id, const char* module) {
    const std::string folder = module && *module ? module : "pavlet";
    QImage image(QString::fromStdString(":/" + folder + "/bitmap_" + std::to_string(id) + ".bmp"));
    if (!image.isNull()) return image;
    switch (id) {
        case 100:
            return Template100();
        case 101:
            return Template101();
        case 105:
            return DropArrow105();
        default:
            return {};
    }
}

BOOL LoadFlexImageList(CImageList& list, UINT id, int cx, int cy, COLORREF maskColor) {
    const QImage strip = LoadFlexBitmap(id);
    if (strip.isNull()) return FALSE;
    CBitmap bitmap;
    if (!bitmap.CreateFromImage(strip)) return FALSE;
    list.DeleteImageList();
    if (!list.Create(cx, cy, ILC_COLOR24 | ILC_MASK, strip.width() / std::max(cx, 1), 0))
        return FALSE;
    return list.Add(&bitmap, maskColor) >= 0;
}
