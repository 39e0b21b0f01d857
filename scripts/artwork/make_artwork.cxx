// Draws Vesko's artwork with cairo and writes it as C++ pixel data (src/artwork.cxx) and as
// PNG icons for installation (data/icons/). Run scripts/artwork/make-artwork.sh after
// changing a drawing; the output is committed, so building Vesko never needs the fonts.

#include <cairo.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace
{
const double ORANGE[3] = {1.0, 0.48, 0.0};

void gradient(cairo_t* cr, int w, int h)
{
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, h);
  cairo_pattern_add_color_stop_rgb(g, 0, 40 / 255.0, 40 / 255.0, 40 / 255.0);
  cairo_pattern_add_color_stop_rgb(g, 1, 7 / 255.0, 7 / 255.0, 7 / 255.0);
  cairo_set_source(cr, g);
  cairo_rectangle(cr, 0, 0, w, h);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
}

// The loop mark: a ring three-quarters closed, with an arrow head where it runs on.
void loopMark(cairo_t* cr, double cx, double cy, double r, double width)
{
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_source_rgb(cr, ORANGE[0], ORANGE[1], ORANGE[2]);
  const double start = -M_PI / 2 + 0.7, end = start + 2 * M_PI - 1.75;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_arc(cr, cx, cy, r, start, end);
  cairo_stroke(cr);
  // arrow head at the end of the arc, pointing along it
  double ex = cx + r * cos(end), ey = cy + r * sin(end);
  double tx = -sin(end), ty = cos(end); // direction of travel at the end of the arc
  double nx = cos(end), ny = sin(end);  // outward
  double a = width * 1.25;
  cairo_move_to(cr, ex + tx * a * 1.6, ey + ty * a * 1.6);
  cairo_line_to(cr, ex + nx * a - tx * a * 0.2, ey + ny * a - ty * a * 0.2);
  cairo_line_to(cr, ex - nx * a - tx * a * 0.2, ey - ny * a - ty * a * 0.2);
  cairo_close_path(cr);
  cairo_fill(cr);
  // the play head: a dot at the top
  cairo_arc(cr, cx, cy - r, width * 0.55, 0, 2 * M_PI);
  cairo_set_source_rgb(cr, 0.95, 0.95, 0.95);
  cairo_fill(cr);
}

cairo_surface_t* logo()
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 130, 36);
  cairo_t* cr = cairo_create(s);
  gradient(cr, 130, 36);
  loopMark(cr, 20, 18, 9, 2.6);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, 19);
  cairo_set_source_rgb(cr, 0.92, 0.92, 0.92);
  cairo_move_to(cr, 37, 25.5);
  cairo_show_text(cr, "VESKO");
  cairo_destroy(cr);
  return s;
}

cairo_surface_t* maker()
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 270, 36);
  cairo_t* cr = cairo_create(s);
  gradient(cr, 270, 36);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 13);
  cairo_text_extents_t ext;
  cairo_text_extents(cr, "morvit", &ext);
  cairo_set_source_rgb(cr, 0.62, 0.62, 0.62);
  cairo_move_to(cr, 270 - 14 - ext.x_advance, 23);
  cairo_show_text(cr, "morvit");
  // a thin orange rule before the name
  cairo_set_source_rgb(cr, ORANGE[0], ORANGE[1], ORANGE[2]);
  cairo_rectangle(cr, 270 - 22 - ext.x_advance, 13, 2, 11);
  cairo_fill(cr);
  cairo_destroy(cr);
  return s;
}

cairo_surface_t* icon(int size)
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(s);
  double k = size / 32.0;
  cairo_scale(cr, k, k);
  // rounded dark tile
  double r = 6, x = 1, y = 1, w = 30, h = 30;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, 32);
  cairo_pattern_add_color_stop_rgb(g, 0, 0.20, 0.20, 0.20);
  cairo_pattern_add_color_stop_rgb(g, 1, 0.04, 0.04, 0.04);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  loopMark(cr, 16, 16.5, 9, 3.2);
  cairo_destroy(cr);
  return s;
}

// 4 bytes per pixel, R G B A, rows back to back.
std::vector<uint8_t> rgba(cairo_surface_t* s)
{
  cairo_surface_flush(s);
  int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  int stride = cairo_image_surface_get_stride(s);
  const uint8_t* d = cairo_image_surface_get_data(s);
  std::vector<uint8_t> out;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      uint32_t p = *reinterpret_cast<const uint32_t*>(d + y * stride + 4 * x);
      uint8_t a = p >> 24;
      auto un = [a](uint8_t c) { return a ? (uint8_t)std::min(255, c * 255 / a) : (uint8_t)0; };
      out.push_back(un((p >> 16) & 0xff));
      out.push_back(un((p >> 8) & 0xff));
      out.push_back(un(p & 0xff));
      out.push_back(a);
    }
  return out;
}

void writeArray(FILE* f, const char* name, const std::vector<uint8_t>& data)
{
  fprintf(f, "extern const unsigned char %s[%zu] = {", name, data.size());
  for (size_t i = 0; i < data.size(); i++)
    fprintf(f, "%s%u,", i % 24 ? "" : "\n  ", data[i]);
  fprintf(f, "\n};\n\n");
}

// The icon as an XPM of exactly 250 colours at 2 characters per pixel; colours beyond
// the palette go to the nearest entry.
void writeXpm(FILE* f, cairo_surface_t* s)
{
  std::vector<uint8_t> px = rgba(s);
  const int n = 32 * 32;
  std::map<uint32_t, int> counts;
  auto key = [&](int i) -> uint32_t {
    if (px[4 * i + 3] < 128)
      return 0xffffffffu; // transparent
    return (px[4 * i] & 0xf8) << 16 | (px[4 * i + 1] & 0xf8) << 8 | (px[4 * i + 2] & 0xf8);
  };
  for (int i = 0; i < n; i++)
    counts[key(i)]++;
  std::vector<std::pair<int, uint32_t>> byCount;
  for (auto& [k, c] : counts)
    byCount.push_back({-c, k});
  std::sort(byCount.begin(), byCount.end());
  std::vector<uint32_t> palette;
  for (auto& [c, k] : byCount)
    if (palette.size() < 250)
      palette.push_back(k);
  while (palette.size() < 250)
    palette.push_back(0x000000u + (uint32_t)palette.size()); // unused fillers
  auto nearest = [&](uint32_t k) {
    int best = 0;
    long bestD = -1;
    for (size_t j = 0; j < palette.size(); j++) {
      uint32_t p = palette[j];
      if ((p == 0xffffffffu) != (k == 0xffffffffu))
        continue;
      long dr = (long)(p >> 16 & 0xff) - (k >> 16 & 0xff), dg = (long)(p >> 8 & 0xff) - (k >> 8 & 0xff),
           db = (long)(p & 0xff) - (k & 0xff);
      long d = dr * dr + dg * dg + db * db;
      if (bestD < 0 || d < bestD) {
        bestD = d;
        best = (int)j;
      }
    }
    return best;
  };
  const char* chars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  auto code = [&](int j) { return std::string(1, chars[j / 62]) + chars[j % 62]; };
  fprintf(f, "extern const char* const veskoIconXpm[] = {\n  \"32 32 250 2\",\n");
  for (size_t j = 0; j < palette.size(); j++) {
    if (palette[j] == 0xffffffffu)
      fprintf(f, "  \"%s c None\",\n", code(j).c_str());
    else
      fprintf(f, "  \"%s c #%06X\",\n", code(j).c_str(), palette[j]);
  }
  for (int y = 0; y < 32; y++) {
    std::string row;
    for (int x = 0; x < 32; x++)
      row += code(nearest(key(y * 32 + x)));
    fprintf(f, "  \"%s\"%s\n", row.c_str(), y < 31 ? "," : "");
  }
  fprintf(f, "};\n");
}
} // namespace

int main(int argc, char** argv)
{
  if (argc < 3) {
    fprintf(stderr, "usage: make_artwork SRC_DIR ICON_DIR\n");
    return 2;
  }
  std::string src = argv[1], icons = argv[2];
  FILE* f = fopen((src + "/artwork.cxx").c_str(), "w");
  if (!f)
    return 1;
  fprintf(f, "// Generated by scripts/artwork/make-artwork.sh: Vesko's artwork as pixel data.\n\n"
             "#include \"artwork.hxx\"\n\n");

  // The header background: one column is all a vertical gradient needs, but the window
  // stretches it to 1920 pixels, so keep it whole as the window expects.
  cairo_surface_t* header = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1920, 36);
  cairo_t* cr = cairo_create(header);
  gradient(cr, 1920, 36);
  cairo_destroy(cr);
  writeArray(f, "headerPixels", rgba(header));
  cairo_surface_destroy(header);

  cairo_surface_t* l = logo();
  writeArray(f, "logoPixels", rgba(l));
  cairo_surface_write_to_png(l, (icons + "/../logo.png").c_str());
  cairo_surface_destroy(l);

  cairo_surface_t* m = maker();
  writeArray(f, "makerPixels", rgba(m));
  cairo_surface_destroy(m);

  cairo_surface_t* i32 = icon(32);
  writeXpm(f, i32);
  cairo_surface_destroy(i32);
  fclose(f);

  for (int size : {16, 22, 32, 48, 64, 128, 256}) {
    cairo_surface_t* s = icon(size);
    std::string path = icons + "/vesko-" + std::to_string(size) + ".png";
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
  }
  return 0;
}
