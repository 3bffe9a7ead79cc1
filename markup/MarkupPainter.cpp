#include "markup/MarkupPainter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/win/Handles.h"

namespace kaptor {

namespace {

int Scaled(int v, double scale) { return static_cast<int>(std::lround(v * scale)); }
POINT Scaled(TMarkPoint p, double scale) { return POINT{Scaled(p.x, scale), Scaled(p.y, scale)}; }

UniquePen SolidPen(COLORREF colour, int width) {
    LOGBRUSH brush{BS_SOLID, colour, 0};
    return UniquePen(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                                  static_cast<DWORD>(std::max(1, width)), &brush, 0, nullptr));
}

UniqueFont MarkupFont(int height) {
    LOGFONTA lf{};
    lf.lfHeight = -std::max(1, height);
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynA(lf.lfFaceName, MarkupFontName, LF_FACESIZE);
    return UniqueFont(CreateFontIndirectA(&lf));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n') lines.emplace_back();
        else if (c != '\r') lines.back() += c;
    }
    return lines;
}

void PaintText(HDC dc, const TMarkupObject& o, double scale) {
    UniqueFont font = MarkupFont(Scaled(o.textSize, scale));
    ScopedSelect selectFont(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, o.colour);
    const POINT at = Scaled(o.points[0], scale);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    int y = at.y;
    for (const std::string& line : Lines(o.text)) {
        TextOutA(dc, at.x, y, line.data(), static_cast<int>(line.size()));
        y += metrics.tmHeight;
    }
}

void PaintArrowHead(HDC dc, const TMarkupObject& o, double scale) {
    const TMarkPoint a = o.points.front(), b = o.points.back();
    const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
    if (length < 1) return;
    const double head = ArrowHeadLength(o.width), ux = dx / length, uy = dy / length;
    const double bx = b.x - ux * head, by = b.y - uy * head, half = head * 0.5;
    POINT corners[] = {Scaled(b, scale),
                       {static_cast<LONG>(std::lround((bx - uy * half) * scale)), static_cast<LONG>(std::lround((by + ux * half) * scale))},
                       {static_cast<LONG>(std::lround((bx + uy * half) * scale)), static_cast<LONG>(std::lround((by - ux * half) * scale))}};
    UniqueBrush brush(CreateSolidBrush(o.colour));
    UniquePen pen(CreatePen(PS_SOLID, 1, o.colour));
    ScopedSelect selectBrush(dc, brush.get()), selectPen(dc, pen.get());
    Polygon(dc, corners, 3);
}

}  // namespace

void PixelateArea(HDC dc, const TMarkRect& area, const TMarkRect& clip) {
    const TMarkRect r = Intersection(area, clip);
    if (r.Empty()) return;
    const int block = PixelateBlock(area);
    // Whole blocks of the area, so a block cut by the clip still takes the mean of all its
    // pixels, as it did when the area was first drawn.
    const int left = area.left + (r.left - area.left) / block * block;
    const int top = area.top + (r.top - area.top) / block * block;
    const int width = std::min(area.right, r.right + block) - left, height = std::min(area.bottom, r.bottom + block) - top;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    UniqueBitmap section(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemDC memory(CreateCompatibleDC(dc));
    if (!section || !memory || !bits) return;
    ScopedSelect selectSection(memory.get(), section.get());
    BitBlt(memory.get(), 0, 0, width, height, dc, left, top, SRCCOPY);
    GdiFlush();
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int by = 0; by < height; by += block) {
        for (int bx = 0; bx < width; bx += block) {
            const int w = std::min(block, width - bx), h = std::min(block, height - by);
            std::uint64_t sum[3] = {0, 0, 0};
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const std::uint32_t p = pixels[(by + y) * width + bx + x];
                    sum[0] += p & 0xFF, sum[1] += (p >> 8) & 0xFF, sum[2] += (p >> 16) & 0xFF;
                }
            const std::uint64_t n = static_cast<std::uint64_t>(w) * h;
            const std::uint32_t mean = static_cast<std::uint32_t>((sum[0] + n / 2) / n) |
                                       static_cast<std::uint32_t>((sum[1] + n / 2) / n) << 8 |
                                       static_cast<std::uint32_t>((sum[2] + n / 2) / n) << 16;
            for (int y = 0; y < h; ++y) std::fill_n(pixels + (by + y) * width + bx, w, mean);
        }
    }
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory.get(), r.left - left, r.top - top, SRCCOPY);
}

void PaintMarkup(HDC dc, const TMarkupObject& o, double scale, bool preview) {
    if (o.points.empty()) return;
    const int width = std::max(1, Scaled(o.width, scale));
    switch (o.kind) {
        case TMarkupTool::Select:
        case TMarkupTool::Count: return;
        case TMarkupTool::Rectangle:
        case TMarkupTool::Ellipse: {
            const TMarkRect a = Area(o);
            UniquePen pen = SolidPen(o.colour, width);
            UniqueBrush brush(o.filled ? CreateSolidBrush(o.colour) : nullptr);
            ScopedSelect selectPen(dc, pen.get());
            ScopedSelect selectBrush(dc, o.filled ? brush.get() : GetStockObject(NULL_BRUSH));
            const POINT p = Scaled(TMarkPoint{a.left, a.top}, scale), q = Scaled(TMarkPoint{a.right, a.bottom}, scale);
            if (o.kind == TMarkupTool::Rectangle) Rectangle(dc, p.x, p.y, q.x + 1, q.y + 1);
            else Ellipse(dc, p.x, p.y, q.x + 1, q.y + 1);
            return;
        }
        case TMarkupTool::Redact:
        case TMarkupTool::Pixelate: {
            const TMarkRect a = Area(o);
            const POINT p = Scaled(TMarkPoint{a.left, a.top}, scale), q = Scaled(TMarkPoint{a.right, a.bottom}, scale);
            if (o.kind == TMarkupTool::Redact) {
                UniqueBrush brush(CreateSolidBrush(o.colour));
                RECT r{p.x, p.y, q.x, q.y};
                FillRect(dc, &r, brush.get());
            } else if (preview) {
                UniqueBrush brush(CreateHatchBrush(HS_DIAGCROSS, RGB(0x80, 0x80, 0x80)));
                ScopedSelect selectBrush(dc, brush.get());
                ScopedSelect selectPen(dc, GetStockObject(BLACK_PEN));
                Rectangle(dc, p.x, p.y, q.x, q.y);
            } else {
                PixelateArea(dc, a, a);
            }
            return;
        }
        case TMarkupTool::Line:
        case TMarkupTool::Arrow:
        case TMarkupTool::Pen:
        case TMarkupTool::Highlighter: {
            const bool marker = o.kind == TMarkupTool::Highlighter;
            UniquePen pen = SolidPen(o.colour, marker ? std::max(1, Scaled(HighlighterWidth(o.width), scale)) : width);
            ScopedSelect selectPen(dc, pen.get());
            // The marker multiplies: dark text beneath stays dark, white takes its colour.
            const int oldMode = SetROP2(dc, marker ? R2_MASKPEN : R2_COPYPEN);
            std::vector<POINT> points;
            if (o.kind == TMarkupTool::Line || o.kind == TMarkupTool::Arrow) {
                points = {Scaled(o.points.front(), scale), Scaled(o.points.back(), scale)};
            } else {
                for (const TMarkPoint& p : o.points) points.push_back(Scaled(p, scale));
            }
            if (points.size() == 1) points.push_back(points[0]);
            Polyline(dc, points.data(), static_cast<int>(points.size()));
            SetROP2(dc, oldMode);
            if (o.kind == TMarkupTool::Arrow) PaintArrowHead(dc, o, scale);
            return;
        }
        case TMarkupTool::Step: {
            const int r = StepRadius(o.width);
            const POINT c = Scaled(o.points[0], scale);
            const int sr = Scaled(r, scale);
            UniqueBrush brush(CreateSolidBrush(o.colour));
            UniquePen pen(CreatePen(PS_SOLID, 1, o.colour));
            ScopedSelect selectBrush(dc, brush.get()), selectPen(dc, pen.get());
            Ellipse(dc, c.x - sr, c.y - sr, c.x + sr + 1, c.y + sr + 1);
            UniqueFont font = MarkupFont(Scaled(r * 5 / 4, scale));
            ScopedSelect selectFont(dc, font.get());
            SetBkMode(dc, TRANSPARENT);
            // White on dark colours, black on light ones.
            const int light = GetRValue(o.colour) * 3 + GetGValue(o.colour) * 6 + GetBValue(o.colour);
            SetTextColor(dc, light > 1600 ? RGB(0, 0, 0) : RGB(0xFF, 0xFF, 0xFF));
            const std::string number = std::to_string(o.step);
            RECT box{c.x - sr, c.y - sr, c.x + sr + 1, c.y + sr + 1};
            DrawTextA(dc, number.data(), static_cast<int>(number.size()), &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            return;
        }
        case TMarkupTool::Text: PaintText(dc, o, scale); return;
    }
}

SIZE MeasureMarkupText(const TMarkupObject& o) {
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    UniqueFont font = MarkupFont(o.textSize);
    ScopedSelect selectFont(dc.get(), font.get());
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc.get(), &metrics);
    SIZE extent{0, 0};
    for (const std::string& line : Lines(o.text)) {
        SIZE s{};
        GetTextExtentPoint32A(dc.get(), line.data(), static_cast<int>(line.size()), &s);
        extent.cx = std::max(extent.cx, s.cx);
        extent.cy += metrics.tmHeight;
    }
    return extent;
}

}  // namespace kaptor
