#include "app/TrayIcon.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <memory>
#include <pango/pangocairo.h>

namespace orvela::TrayIcon {
namespace {

// The glyph is designed on a 22 px grid and scaled to the size asked for.
constexpr double grid = 22;

struct CairoDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
    void operator()(cairo_t* cairo) const { cairo_destroy(cairo); }
};
using Surface = std::unique_ptr<cairo_surface_t, CairoDeleter>;
using Cairo = std::unique_ptr<cairo_t, CairoDeleter>;

struct LayoutDeleter {
    void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using Layout = std::unique_ptr<PangoLayout, LayoutDeleter>;

void setColour(cairo_t* cairo, uint32_t rgb) {
    cairo_set_source_rgb(cairo, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0);
}

// An inbox tray with an arrow coming down into it, light on a dark outline.
struct Point {
    double x, y;
};
constexpr Point arrow[] = {{9.5, 2}, {12.5, 2}, {12.5, 7}, {15.5, 7}, {11, 11.5}, {6.5, 7}, {9.5, 7}};
constexpr Point tray[] = {{2, 12}, {7.2, 12}, {8.4, 14.5}, {13.6, 14.5}, {14.8, 12}, {20, 12}, {20, 20}, {2, 20}};

template <size_t count>
void addShape(cairo_t* cairo, const Point (&points)[count]) {
    cairo_move_to(cairo, points[0].x, points[0].y);
    for (size_t i = 1; i < count; ++i) cairo_line_to(cairo, points[i].x, points[i].y);
    cairo_close_path(cairo);
}

void drawGlyph(cairo_t* cairo, double scale) {
    cairo_save(cairo);
    cairo_scale(cairo, scale, scale);
    addShape(cairo, arrow);
    addShape(cairo, tray);
    setColour(cairo, 0xf6f5f4);
    cairo_fill_preserve(cairo);
    cairo_restore(cairo);
    cairo_set_line_join(cairo, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cairo, std::max(1.0, 1.2 * scale));
    setColour(cairo, 0x241f31);
    cairo_stroke(cairo);
}

Layout badgeLayout(cairo_t* cairo, const std::string& text, double fontPixels) {
    Layout layout(pango_cairo_create_layout(cairo));
    PangoFontDescription* font = pango_font_description_from_string("Sans Bold");
    pango_font_description_set_absolute_size(font, fontPixels * PANGO_SCALE);
    pango_layout_set_font_description(layout.get(), font);
    pango_font_description_free(font);
    pango_layout_set_text(layout.get(), text.c_str(), -1);
    return layout;
}

PangoRectangle inkOf(PangoLayout* layout) {
    PangoRectangle ink{};
    pango_layout_get_extents(layout, &ink, nullptr);
    return ink;
}

double units(int pango) { return static_cast<double>(pango) / PANGO_SCALE; }

// The white rim around the badge.
double rimWidth(int size) { return std::max(1.0, size / grid); }

// Lays the badge out at the top right: as wide as its text needs, never wider
// than the icon, the font made smaller until the text fits inside the rim.
struct Placed {
    Badge badge;
    Layout layout;
    double textX = 0, textY = 0;
};

Placed place(cairo_t* cairo, int64_t count, int size) {
    double scale = size / grid;
    double rim = rimWidth(size);
    double height = std::round(12 * scale);
    double padding = std::max(1.0, 1.5 * scale);
    double room = size - 2 * rim - 2 * padding;
    std::string text = badgeText(count);
    double fontPixels = 9 * scale;
    Layout layout = badgeLayout(cairo, text, fontPixels);
    for (int attempt = 0; attempt < 8; ++attempt) {
        double inkWidth = units(inkOf(layout.get()).width);
        if (inkWidth <= room || fontPixels <= 4) break;
        fontPixels = std::max(4.0, std::floor(fontPixels * room / inkWidth * 4) / 4);
        layout = badgeLayout(cairo, text, fontPixels);
    }
    PangoRectangle ink = inkOf(layout.get());
    double width = std::min<double>(size, std::max(height, units(ink.width) + 2 * rim + 2 * padding));
    Placed placed;
    placed.badge.shape = {size - width, 0, width, height};
    placed.badge.fontPixels = fontPixels;
    double inkLeft = placed.badge.shape.left + (width - units(ink.width)) / 2;
    double inkTop = (height - units(ink.height)) / 2;
    placed.badge.ink = {inkLeft, inkTop, units(ink.width), units(ink.height)};
    placed.textX = inkLeft - units(ink.x);
    placed.textY = inkTop - units(ink.y);
    placed.layout = std::move(layout);
    return placed;
}

void drawBadge(cairo_t* cairo, Placed& placed, int size) {
    const Box& shape = placed.badge.shape;
    double rim = rimWidth(size);
    // The rim is drawn inside the shape, so that nothing is cut at the edges.
    double left = shape.left + rim / 2, top = shape.top + rim / 2;
    double width = shape.width - rim, height = shape.height - rim;
    double radius = height / 2;
    cairo_new_sub_path(cairo);
    cairo_arc(cairo, left + width - radius, top + radius, radius, -M_PI / 2, M_PI / 2);
    cairo_arc(cairo, left + radius, top + radius, radius, M_PI / 2, 3 * M_PI / 2);
    cairo_close_path(cairo);
    setColour(cairo, 0xe01b24);
    cairo_fill_preserve(cairo);
    cairo_set_line_width(cairo, rim);
    setColour(cairo, 0xffffff);
    cairo_stroke(cairo);
    cairo_move_to(cairo, placed.textX, placed.textY);
    pango_cairo_show_layout(cairo, placed.layout.get());
}

Surface draw(int64_t count, int size) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size));
    Cairo cairo(cairo_create(surface.get()));
    drawGlyph(cairo.get(), size / grid);
    if (count >= 1) {
        Placed placed = place(cairo.get(), count, size);
        drawBadge(cairo.get(), placed, size);
    }
    cairo_surface_flush(surface.get());
    return surface;
}

}  // namespace

std::string name(int64_t count) {
    return count < 1 ? "ru.orvela.Orvela-tray" : "ru.orvela.Orvela-tray-" + (count > 99 ? "many" : std::to_string(count));
}

std::string title(int64_t count) {
    return count < 1 ? "Orvela" : "Orvela — " + std::to_string(count) + " во «Входящих»";
}

std::string badgeText(int64_t count) { return count > 99 ? "99+" : std::to_string(count); }

Pixels pixels(int64_t count, int size) {
    Surface surface = draw(count, size);
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    Pixels result{size, std::vector<uint8_t>(static_cast<size_t>(size) * size * 4)};
    auto out = result.argb.begin();
    for (int y = 0; y < size; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
        for (int x = 0; x < size; ++x) {
            // Cairo keeps native-endian words with the colour premultiplied.
            uint32_t pixel = row[x];
            uint32_t alpha = pixel >> 24;
            auto straight = [alpha](uint32_t channel) {
                return static_cast<uint8_t>(alpha ? std::min<uint32_t>(255, (channel * 255 + alpha / 2) / alpha) : 0);
            };
            *out++ = static_cast<uint8_t>(alpha);
            *out++ = straight((pixel >> 16) & 0xff);
            *out++ = straight((pixel >> 8) & 0xff);
            *out++ = straight(pixel & 0xff);
        }
    }
    return result;
}

std::string png(int64_t count, int size) {
    Surface surface = draw(count, size);
    std::string bytes;
    auto append = [](void* target, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(target)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
    };
    if (cairo_surface_write_to_png_stream(surface.get(), append, &bytes) != CAIRO_STATUS_SUCCESS) return {};
    return bytes;
}

Badge badge(int64_t count, int size) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size));
    Cairo cairo(cairo_create(surface.get()));
    return place(cairo.get(), count, size).badge;
}

}  // namespace orvela::TrayIcon
