#!/usr/bin/python3
"""Builds every window skin, button bitmap, button mask and icon of Tarnwick.

Run from anywhere with Debian's Python and Pillow:

    /usr/bin/python3 resources/art/make_art.py

Everything is drawn from code (shapes, gradients and the DejaVu fonts of
fonts-dejavu-core), so the output is the same on every machine.  The script
writes resources/images/ (the files the resource script compiles in, plus the
fragment images.rc.inc that lists them by number) and resources/art/preview.png,
a sheet that shows every window with its buttons in place.  The build only uses
resources/images/; it never runs this script.

How the pieces fit together:

* Every window is a borderless layered dialog.  Its skin is a GIF that the
  program decodes with the OLE picture loader; one colour of it is made fully
  transparent (colour-key mode), so whatever lies outside the drawn outline must
  be exactly that colour, with no anti-aliased blend into it.  Shapes are drawn
  on a transparent canvas at 4x size, scaled down, and then laid on the key
  colour with coverage cut to all-or-nothing at the outline.
* All page windows share one frame: a dark caption band with the minimise and
  close buttons, a toolbar band with the logo and five page buttons, and a white
  page panel under a teal title strip.  Page windows take the main window's
  place and size on screen, so every frame has the same visible outline.
* All skins are reduced to one shared 256-colour palette without dithering, so
  a pixel colour comes out the same in every skin.  Buttons are then drawn on
  top of the exact skin pixels they cover, which makes them sit seamlessly on
  the skin even where they are not rectangular.
* Buttons are 24-bit bitmaps.  A mask is black where its button is and white
  outside; it is cut from the same shape, so the window region it gives matches
  the button image pixel for pixel.
"""

import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.dirname(HERE)
OUT = os.path.join(RESOURCES, "images")
PREVIEW = os.path.join(HERE, "preview.png")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

SS = 4  # supersampling factor for shapes

# --------------------------------------------------------------------------
# Palette
# --------------------------------------------------------------------------

KEY_GREEN = (0, 255, 0)     # splash, main window, managers
KEY_PAGE = (1, 255, 1)      # backup manager, scan progress page, results viewer

NAVY_0 = (8, 29, 49)        # caption band, top
NAVY_1 = (13, 46, 74)       # caption band bottom / toolbar top
NAVY_2 = (18, 68, 101)      # toolbar bottom
EDGE = (20, 44, 66)         # one-pixel window outline
STRIP = (19, 98, 122)       # page title strip; flat, the title label's background
BODY_TOP = (227, 235, 242)  # frame body around the page panel
BODY_BOTTOM = (206, 219, 230)
PANEL = (255, 255, 255)     # page panel; flat, the background of every control on it
PANEL_LINE = (200, 214, 225)
TEXT = (27, 39, 55)
MUTED = (92, 108, 126)
CAPTION_TEXT = (176, 202, 218)
TEAL = (0, 150, 160)
TEAL_DARK = (0, 106, 122)
TEAL_LIGHT = (96, 212, 206)
SPARK = (255, 206, 84)

CTA = ((34, 186, 166), (0, 124, 140))        # main actions (scan, repair, restore, start)
CTA_HOT = ((86, 216, 194), (10, 156, 164))
WARN = ((244, 128, 86), (206, 70, 50))       # abort
WARN_HOT = ((252, 160, 118), (226, 96, 70))

FREQUENT_COLOURS = 150  # palette entries given to the most used colours

# Flat colours that controls paint over, kept exact in the skins.
RESERVED = [PANEL, STRIP, PANEL_LINE, NAVY_0, TEXT, MUTED, EDGE, SPARK, (0, 0, 0)]

# --------------------------------------------------------------------------
# Geometry: dialog units to pixels, as the dialog manager maps them for the
# 8-point dialog font (base units 6 x 13 pixels at 96 dpi).
# --------------------------------------------------------------------------


def dx(d):
    return (d * 6 + 2) // 4


def dy(d):
    return (d * 13 + 4) // 8


FRAME_W, FRAME_H = 622, 546     # visible outline of every page window
FRAME_R = 12
CAPTION_H = 34                  # caption band
HEADER_H = 106                  # caption band + toolbar band
PANEL_BOX = (14, 110, 608, 526)  # white page panel
STRIP_BOTTOM = 140              # title strip is PANEL_BOX top .. 140



def cover(w, h):
    """Pixel size that covers a dialog template of w x h dialog units, rounded up."""
    return -(-w * 6 // 4), -(-h * 13 // 8)


MAIN_CANVAS = cover(493, 343)                                      # 740 x 558
SCAN_CANVAS = (MAIN_CANVAS[0], max(MAIN_CANVAS[1], cover(465, 362)[1]))  # scan template is taller
SPLASH_CANVAS = cover(243, 122)                                    # 365 x 199

# Header controls shared by every window with the frame (x, y, w, h in pixels).
EXIT_BOX = (dx(388), dy(4), dx(16), dy(14))
MIN_BOX = (dx(371), dy(4), dx(16), dy(14))
LOGO_BOX = (dx(1), dy(22), dx(123), dy(43))
TOOLBAR = [  # id, x in dialog units, width in dialog units, normal, hot, glyph, label
    (1049, 126, 46, 243, 244, "home", "Home"),
    (1056, 172, 46, 241, 242, "sliders", "Options"),
    (1016, 218, 46, 249, 250, "database", "Backups"),
    (1017, 264, 46, 247, 248, "gear", "Settings"),
    (1046, 356, 49, 251, 252, "help", "Help"),
]
TOOL_Y, TOOL_H = dy(22), dy(43)

# --------------------------------------------------------------------------
# Fonts and text
# --------------------------------------------------------------------------

_fonts = {}


def font(size, bold=False, condensed=False):
    name = "DejaVuSans"
    if condensed:
        name += "Condensed"
    if bold:
        name += "-Bold"
    key = (name, size)
    if key not in _fonts:
        _fonts[key] = ImageFont.truetype(os.path.join(FONT_DIR, name + ".ttf"), size)
    return _fonts[key]


def text_width(s, f):
    return f.getlength(s)


def wrap(s, f, width):
    lines, line = [], ""
    for word in s.split():
        trial = (line + " " + word).strip()
        if line and text_width(trial, f) > width:
            lines.append(line)
            line = word
        else:
            line = trial
    if line:
        lines.append(line)
    return lines


def draw_lines(draw, x, y, lines, f, fill, step):
    for i, line in enumerate(lines):
        draw.text((x, y + i * step), line, font=f, fill=fill)


# --------------------------------------------------------------------------
# Supersampled drawing
# --------------------------------------------------------------------------


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def rgba(c):
    return c if len(c) == 4 else (c[0], c[1], c[2], 255)


class Pen:
    """Draws into a coverage mask; coordinates are final-size pixels."""

    def __init__(self, draw, ox, oy):
        self.d = draw
        self.ox, self.oy = ox, oy

    def p(self, x, y):
        return ((x - self.ox) * SS, (y - self.oy) * SS)

    def box(self, x0, y0, x1, y1):
        a, b = self.p(x0, y0)
        c, d = self.p(x1, y1)
        return [a, b, c - 1, d - 1]

    def rect(self, x0, y0, x1, y1, fill=255):
        self.d.rectangle(self.box(x0, y0, x1, y1), fill=fill)

    def rrect(self, x0, y0, x1, y1, r, fill=255):
        self.d.rounded_rectangle(self.box(x0, y0, x1, y1), radius=r * SS, fill=fill)

    def ellipse(self, x0, y0, x1, y1, fill=255):
        self.d.ellipse(self.box(x0, y0, x1, y1), fill=fill)

    def circle(self, cx, cy, r, fill=255):
        self.ellipse(cx - r, cy - r, cx + r, cy + r, fill)

    def poly(self, pts, fill=255):
        self.d.polygon([self.p(x, y) for x, y in pts], fill=fill)

    def line(self, pts, w, fill=255, caps=True):
        ps = [self.p(x, y) for x, y in pts]
        self.d.line(ps, fill=fill, width=max(1, int(round(w * SS))), joint="curve")
        if caps:
            for x, y in pts:
                self.circle(x, y, w / 2, fill)

    def arc(self, cx, cy, r, start, end, w, fill=255):
        self.d.arc(self.box(cx - r, cy - r, cx + r, cy + r), start, end, fill=fill,
                   width=max(1, int(round(w * SS))))

    def text(self, s, cx, cy, size, fill=255, bold=True):
        f = font(int(round(size * SS)), bold)
        self.d.text(self.p(cx, cy), s, font=f, fill=fill, anchor="mm")


class Layer:
    """RGBA surface drawn at SS times its final size."""

    def __init__(self, w, h, base=None):
        self.w, self.h = w, h
        if base is None:
            self.img = Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))
        else:
            # Upscaled copies of final pixels come back unchanged after the
            # box-filtered reduction, so untouched skin pixels stay exact.
            self.img = base.convert("RGBA").resize((w * SS, h * SS), Image.NEAREST)

    def paint(self, bbox, shape, fill):
        """shape(pen) draws coverage; fill is a colour or ('v', y0, y1, c0, c1)."""
        x0 = max(0, int(math.floor(bbox[0])) - 1)
        y0 = max(0, int(math.floor(bbox[1])) - 1)
        x1 = min(self.w, int(math.ceil(bbox[2])) + 1)
        y1 = min(self.h, int(math.ceil(bbox[3])) + 1)
        if x1 <= x0 or y1 <= y0:
            return
        size = ((x1 - x0) * SS, (y1 - y0) * SS)
        mask = Image.new("L", size, 0)
        shape(Pen(ImageDraw.Draw(mask), x0, y0))
        if isinstance(fill, tuple) and fill and fill[0] == "v":
            _, gy0, gy1, c0, c1 = fill
            c0, c1 = rgba(c0), rgba(c1)
            col = Image.new("RGBA", (1, size[1]))
            for r in range(size[1]):
                y = y0 + (r + 0.5) / SS
                t = 0.0 if gy1 == gy0 else min(1.0, max(0.0, (y - gy0) / (gy1 - gy0)))
                col.putpixel((0, r), lerp(c0, c1, t))
            src = col.resize(size, Image.NEAREST)
        else:
            src = Image.new("RGBA", size, rgba(fill))
        src.putalpha(ImageChops.multiply(mask, src.getchannel("A")))
        self.img.alpha_composite(src, dest=(x0 * SS, y0 * SS))

    # conveniences -------------------------------------------------------
    def rect(self, x0, y0, x1, y1, fill):
        self.paint((x0, y0, x1, y1), lambda p: p.rect(x0, y0, x1, y1), fill)

    def rrect(self, x0, y0, x1, y1, r, fill):
        self.paint((x0, y0, x1, y1), lambda p: p.rrect(x0, y0, x1, y1, r), fill)

    def framed_rrect(self, x0, y0, x1, y1, r, border, fill, width=1):
        self.rrect(x0, y0, x1, y1, r, border)
        self.rrect(x0 + width, y0 + width, x1 - width, y1 - width, max(0, r - width), fill)

    def glyph(self, name, x, y, s, fill):
        self.paint((x, y, x + s, y + s), lambda p: GLYPHS[name](GlyphPen(p, x, y, s)), fill)

    def finish(self):
        return self.img.resize((self.w, self.h), Image.BOX)


# --------------------------------------------------------------------------
# Pictograms, drawn in a unit square
# --------------------------------------------------------------------------


class GlyphPen:
    def __init__(self, pen, x, y, s):
        self.pen, self.x, self.y, self.s = pen, x, y, s

    def m(self, u, v):
        return self.x + u * self.s, self.y + v * self.s

    def poly(self, pts, fill=255):
        self.pen.poly([self.m(u, v) for u, v in pts], fill)

    def line(self, pts, w, fill=255):
        self.pen.line([self.m(u, v) for u, v in pts], w * self.s, fill)

    def circle(self, u, v, r, fill=255):
        x, y = self.m(u, v)
        self.pen.circle(x, y, r * self.s, fill)

    def ellipse(self, u0, v0, u1, v1, fill=255):
        x0, y0 = self.m(u0, v0)
        x1, y1 = self.m(u1, v1)
        self.pen.ellipse(x0, y0, x1, y1, fill)

    def rrect(self, u0, v0, u1, v1, r, fill=255):
        x0, y0 = self.m(u0, v0)
        x1, y1 = self.m(u1, v1)
        self.pen.rrect(x0, y0, x1, y1, r * self.s, fill)

    def ring(self, u, v, r, w, fill=255):
        self.circle(u, v, r, fill)
        self.circle(u, v, r - w, 0 if fill else 255)

    def arc(self, u, v, r, start, end, w, fill=255):
        x, y = self.m(u, v)
        self.pen.arc(x, y, r * self.s, start, end, w * self.s, fill)

    def text(self, s, u, v, size, fill=255):
        x, y = self.m(u, v)
        self.pen.text(s, x, y, size * self.s, fill)


def g_home(g):
    g.poly([(.5, .08), (.96, .5), (.82, .5), (.82, .9), (.18, .9), (.18, .5), (.04, .5)])
    g.rrect(.41, .6, .59, .91, .03, 0)


def g_sliders(g):
    for v, knob in ((.2, .68), (.5, .3), (.8, .56)):
        g.line([(.08, v), (.92, v)], .08)
        g.circle(knob, v, .14)
        g.circle(knob, v, .06, 0)


def g_database(g):
    g.rrect(.14, .2, .86, .8, 0)
    g.ellipse(.14, .68, .86, .92)
    g.ellipse(.14, .08, .86, .32)
    g.ellipse(.2, .12, .8, .27, 0)
    for v in (.42, .62):
        g.arc(.5, v - .02, .36, 20, 160, .05, 0)


def g_gear(g):
    pts = []
    teeth = 8
    for i in range(teeth * 4):
        a = 2 * math.pi * i / (teeth * 4)
        r = .47 if (i % 4) in (1, 2) else .35
        pts.append((.5 + r * math.cos(a), .5 + r * math.sin(a)))
    g.poly(pts)
    g.circle(.5, .5, .15, 0)


def g_help(g):
    g.ring(.5, .5, .46, .09)
    g.text("?", .5, .53, .62)


def g_magnifier(g):
    g.ring(.42, .42, .32, .11)
    g.line([(.64, .64), (.9, .9)], .15)


def g_shield(g):
    g.poly([(.5, .04), (.9, .18), (.88, .5), (.78, .72), (.5, .96), (.22, .72), (.12, .5), (.1, .18)])
    g.line([(.3, .5), (.45, .65), (.71, .36)], .1, 0)


def g_restore(g):
    g.arc(.52, .54, .34, 240, 170 + 360, .12)
    a = math.radians(240)
    px, py = .52 + .34 * math.cos(a), .54 + .34 * math.sin(a)
    d = (math.sin(a), -math.cos(a))        # counter-clockwise tangent
    n = (-d[1], d[0])
    tip = (px + d[0] * .2, py + d[1] * .2)
    g.poly([tip, (px + n[0] * .16, py + n[1] * .16), (px - n[0] * .16, py - n[1] * .16)])


def g_trash(g):
    g.line([(.14, .22), (.86, .22)], .09)
    g.rrect(.38, .08, .62, .2, .03)
    g.poly([(.22, .32), (.78, .32), (.72, .94), (.28, .94)])
    for u in (.41, .59):
        g.line([(u, .44), (u, .82)], .06, 0)


def g_play(g):
    g.poly([(.24, .1), (.88, .5), (.24, .9)])


def g_close(g):
    g.line([(.2, .2), (.8, .8)], .15)
    g.line([(.8, .2), (.2, .8)], .15)


def g_check(g):
    g.line([(.14, .52), (.4, .76), (.86, .26)], .15)


def g_wrench(g):
    g.line([(.18, .82), (.55, .45)], .17)
    g.circle(.66, .34, .25)
    g.circle(.8, .2, .14, 0)
    g.line([(.66, .34), (.92, .08)], .14, 0)
    g.circle(.24, .76, .035, 0)


def g_stop(g):
    g.rrect(.2, .2, .8, .8, .1)


def g_power(g):
    g.arc(.5, .56, .34, -55, 235, .12)
    g.line([(.5, .1), (.5, .5)], .12)


def g_globe(g):
    g.ring(.5, .5, .44, .08)
    g.ellipse(.3, .06, .7, .94)
    g.ellipse(.37, .13, .63, .87, 0)
    g.line([(.08, .5), (.92, .5)], .07, 255)
    g.line([(.16, .3), (.84, .3)], .06)
    g.line([(.16, .7), (.84, .7)], .06)


def g_package(g):
    g.rrect(.12, .3, .88, .9, .05)
    g.rrect(.06, .14, .94, .34, .05)
    g.rrect(.42, .14, .58, .6, 0, 0)
    g.rrect(.38, .44, .62, .56, .03, 0)


def g_minus_circle(g):
    g.circle(.5, .5, .44)
    g.line([(.28, .5), (.72, .5)], .13, 0)


def g_checklist(g):
    for i in range(3):
        v = .17 + .33 * i
        g.rrect(.04, v - .13, .3, v + .13, .05)
        if i < 2:
            g.line([(.09, v), (.16, v + .07), (.26, v - .07)], .05, 0)
        else:
            g.rrect(.09, v - .08, .25, v + .08, .02, 0)
        g.line([(.42, v), (.94, v)], .1)


def g_minimise(g):
    g.line([(.22, .66), (.78, .66)], .15)


def g_box_checked(g):
    g.rrect(.08, .08, .92, .92, .16)
    g.line([(.26, .52), (.44, .7), (.75, .32)], .13, 0)


def g_box_empty(g):
    g.rrect(.08, .08, .92, .92, .16)
    g.rrect(.2, .2, .8, .8, .08, 0)


def g_sparkle(g):
    c, k = .5, .13
    g.poly([(c, 0), (c + k, c - k), (1, c), (c + k, c + k), (c, 1), (c - k, c + k), (0, c), (c - k, c - k)])


def g_chevron(g):
    g.line([(.35, .18), (.68, .5), (.35, .82)], .14)


def g_disk_save(g):
    # database with a plus badge: "make a full backup"
    g.rrect(.06, .22, .7, .8, 0)
    g.ellipse(.06, .7, .7, .9)
    g.ellipse(.06, .1, .7, .32)
    g.ellipse(.12, .14, .64, .28, 0)
    for v in (.44, .62):
        g.arc(.38, v - .02, .32, 20, 160, .05, 0)
    g.circle(.74, .74, .26, 0)
    g.circle(.74, .74, .2)
    g.line([(.74, .64), (.74, .84)], .07, 0)
    g.line([(.64, .74), (.84, .74)], .07, 0)


GLYPHS = {
    "home": g_home, "sliders": g_sliders, "database": g_database, "gear": g_gear,
    "help": g_help, "magnifier": g_magnifier, "shield": g_shield, "restore": g_restore,
    "trash": g_trash, "play": g_play, "close": g_close, "check": g_check,
    "wrench": g_wrench, "stop": g_stop, "power": g_power, "globe": g_globe,
    "package": g_package, "minus_circle": g_minus_circle, "checklist": g_checklist,
    "minimise": g_minimise, "box_checked": g_box_checked, "box_empty": g_box_empty,
    "sparkle": g_sparkle, "chevron": g_chevron, "disk_save": g_disk_save,
}


# --------------------------------------------------------------------------
# The product mark: a rounded tile with a small key tree and a sparkle.
# --------------------------------------------------------------------------

MARK_TOP, MARK_BOTTOM = (40, 200, 184), (10, 100, 146)


def draw_mark(layer, x, y, s, round_badge=False, simple=False):
    if round_badge:
        layer.paint((x, y, x + s, y + s), lambda p: p.ellipse(x, y, x + s, y + s),
                    ("v", y, y + s, MARK_TOP, MARK_BOTTOM))
    else:
        layer.paint((x, y, x + s, y + s), lambda p: p.rrect(x, y, x + s, y + s, s * .24),
                    ("v", y, y + s, MARK_TOP, MARK_BOTTOM))
        # soft top light
        layer.paint((x, y, x + s, y + s * .5),
                    lambda p: p.rrect(x + s * .06, y + s * .05, x + s * .94, y + s * .5, s * .2),
                    ("v", y, y + s * .5, (255, 255, 255, 46), (255, 255, 255, 0)))

    def tree(p):
        g = GlyphPen(p, x, y, s)
        if simple:
            g.rrect(.2, .22, .44, .44, .05)
            g.line([(.32, .44), (.32, .74), (.56, .74)], .1)
            g.rrect(.5, .62, .74, .84, .05)
            return
        g.rrect(.18, .2, .4, .4, .05)
        g.line([(.29, .4), (.29, .74)], .075)
        g.line([(.29, .56), (.5, .56)], .075)
        g.line([(.29, .74), (.5, .74)], .075)
        g.rrect(.48, .48, .66, .64, .04)
        g.rrect(.48, .66, .66, .82, .04)

    layer.paint((x, y, x + s, y + s), tree, (255, 255, 255, 255))
    sp = s * (.36 if not simple else .42)
    sx, sy = x + s * .58, y + s * .1
    if round_badge:
        sx, sy = x + s * .54, y + s * .12
    layer.glyph("sparkle", sx, sy, sp, SPARK)


# --------------------------------------------------------------------------
# Skins
# --------------------------------------------------------------------------


def frame_shapes(L):
    """The shared frame: caption band, toolbar, body, page panel and title strip."""
    L.rect(0, 0, FRAME_W, CAPTION_H, ("v", 0, CAPTION_H, NAVY_0, NAVY_1))
    L.rect(0, CAPTION_H, FRAME_W, HEADER_H, ("v", CAPTION_H, HEADER_H, NAVY_1, NAVY_2))
    L.rect(0, CAPTION_H, FRAME_W, CAPTION_H + 1, (255, 255, 255, 20))
    # a soft teal glow behind the logo
    L.paint((0, CAPTION_H + 1, 260, HEADER_H),
            lambda p: p.ellipse(-90, 20, 250, 170), (40, 170, 190, 26))
    L.rect(0, HEADER_H, FRAME_W, FRAME_H, ("v", HEADER_H, FRAME_H, BODY_TOP, BODY_BOTTOM))
    L.rect(0, HEADER_H, FRAME_W, HEADER_H + 4, ("v", HEADER_H, HEADER_H + 4, (0, 20, 40, 60), (0, 20, 40, 0)))
    # divider between the page buttons and the help button
    L.rect(499, 48, 500, 94, (255, 255, 255, 34))
    # page panel with a faint shadow
    x0, y0, x1, y1 = PANEL_BOX
    L.rrect(x0 - 1, y0 + 1, x1 + 1, y1 + 3, 10, (10, 40, 70, 22))
    L.framed_rrect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, 9, PANEL_LINE, PANEL)
    L.paint((x0, y0, x1, STRIP_BOTTOM),
            lambda p: (p.rrect(x0, y0, x1, STRIP_BOTTOM + 10, 8), p.rect(x0, STRIP_BOTTOM, x1, STRIP_BOTTOM + 10, 0)),
            STRIP)
    draw_mark(L, 22, 116, 18, simple=True)
    # logo in the toolbar band (the main window shows it again as its logo button)
    lx, ly, lw, lh = LOGO_BOX
    draw_mark(L, lx + 12, ly + 10, 50)
    # one-pixel outline
    L.paint((0, 0, FRAME_W, FRAME_H),
            lambda p: (p.rrect(0, 0, FRAME_W, FRAME_H, FRAME_R),
                       p.rrect(1, 1, FRAME_W - 1, FRAME_H - 1, FRAME_R - 1, 0)), EDGE)


def frame_text(d, caption):
    if caption:
        d.text((16, CAPTION_H // 2), caption, font=font(12, True), fill=CAPTION_TEXT, anchor="lm")
    lx, ly, lw, lh = LOGO_BOX
    d.text((lx + 72, ly + 30), "Tarnwick", font=font(20, True), fill=(255, 255, 255), anchor="ls")
    d.text((lx + 73, ly + 48), "Registry cleaner", font=font(11), fill=TEAL_LIGHT, anchor="ls")
    d.text((18, 536), "Tarnwick \u00b7 registry cleaner", font=font(10), fill=MUTED, anchor="lm")
    d.text((604, 536), "Version 2.6", font=font(10), fill=MUTED, anchor="rm")


def flatten(layer_img, outline, key):
    """Lays the drawing on the key colour; the outline is cut with no blending."""
    w, h = layer_img.size
    out = Image.new("RGB", (w, h), key)
    solid = Image.new("RGBA", (w, h), NAVY_0 + (255,))
    solid.alpha_composite(layer_img)
    cut = outline.point(lambda a: 255 if a >= 128 else 0)
    out.paste(solid.convert("RGB"), (0, 0), cut)
    return out, cut


def outline_mask(size, box, r):
    L = Layer(*size)
    L.rrect(box[0], box[1], box[2], box[3], r, (255, 255, 255, 255))
    return L.finish().getchannel("A")


def make_frame_skin(canvas, key, caption, shapes=None, texts=None):
    L = Layer(*canvas)
    frame_shapes(L)
    if shapes:
        shapes(L)
    img, cut = flatten(L.finish(), outline_mask(canvas, (0, 0, FRAME_W, FRAME_H), FRAME_R), key)
    d = ImageDraw.Draw(img)
    frame_text(d, caption)
    if texts:
        texts(d)
    return img, cut


def strip_title(d, title):
    d.text((dx(130), 125), title, font=font(12, True), fill=(255, 255, 255), anchor="lm")


# -- scan progress page and results viewer (215) ---------------------------

TIP_SCAN = ("Untick anything you want to keep. Nothing is changed until you press "
            "Repair, and a backup of every entry is saved first.")


def scan_shapes(L):
    L.glyph("shield", 26, 470, 26, TEAL)


def scan_texts(d):
    f = font(11)
    draw_lines(d, 62, 466, wrap(TIP_SCAN, f, 272), f, MUTED, 15)


# -- backup manager, full-backup page (201) --------------------------------

FULL_INTRO = ("A full backup saves three whole registry branches, HKEY_LOCAL_MACHINE\\SOFTWARE, "
              "HKEY_LOCAL_MACHINE\\HARDWARE and HKEY_CURRENT_USER\\SOFTWARE, as one dated set. "
              "Restoring a set writes all three back; changes made after its date are lost.")


def full_shapes(L):
    # action card around the radio buttons and the two buttons
    L.framed_rrect(350, 270, 594, 410, 8, PANEL_LINE, PANEL)
    # illustration on the left
    L.paint((60, 262, 320, 430), lambda p: p.circle(186, 340, 74), (234, 246, 248, 255))
    L.glyph("disk_save", 132, 286, 108, TEAL)


def full_texts(d):
    strip_title(d, "Full Backup")
    d.text((40, 160), "Full registry backup", font=font(15, True), fill=TEXT)
    f = font(12)
    draw_lines(d, 40, 186, wrap(FULL_INTRO, f, 540), f, MUTED, 17)
    d.text((366, 286), "Choose an action:", font=font(12, True), fill=TEXT, anchor="lm")
    d.text((186, 430), "Keep a set before big changes", font=font(11), fill=MUTED, anchor="mm")


# -- backup manager, restore page (202) ------------------------------------


def restore_shapes(L):
    L.glyph("restore", 40, 168, 18, TEAL)


def restore_texts(d):
    strip_title(d, "Restore Backup")
    d.text((64, 177), "Backup date:", font=font(12, True), fill=TEXT, anchor="lm")
    d.text((43, 432), "Untick what you do not want written back.", font=font(11), fill=MUTED, anchor="lm")


# -- splash (222) ----------------------------------------------------------


def make_splash():
    w, h = SPLASH_CANVAS
    L = Layer(w, h)
    L.rect(0, 0, w, h, ("v", 0, h, NAVY_0, NAVY_2))
    L.paint((0, 0, w, h), lambda p: p.ellipse(-140, -90, 230, 250), (40, 170, 190, 22))
    L.rect(0, h - 5, w, h, ("v", h - 5, h, TEAL_LIGHT, TEAL))
    draw_mark(L, 26, 48, 84)
    L.paint((0, 0, w, h), lambda p: (p.rrect(0, 0, w, h, 16), p.rrect(1, 1, w - 1, h - 1, 15, 0)), EDGE)
    img, cut = flatten(L.finish(), outline_mask((w, h), (0, 0, w, h), 16), KEY_GREEN)
    d = ImageDraw.Draw(img)
    d.text((128, 92), "Tarnwick", font=font(36, True), fill=(255, 255, 255), anchor="ls")
    d.text((130, 118), "Registry cleaner", font=font(15), fill=TEAL_LIGHT, anchor="ls")
    d.text((130, 160), "Version 2.6", font=font(11), fill=CAPTION_TEXT, anchor="ls")
    d.text((w - 20, 160), "Starting\u2026", font=font(11, True), fill=(255, 255, 255), anchor="rs")
    return img, cut


# -- quantisation -----------------------------------------------------------


def colour_mask(img, c):
    bands = img.split()
    m = None
    for band, v in zip(bands, c):
        b = band.point(lambda x, v=v: 255 if x == v else 0)
        m = b if m is None else ImageChops.multiply(m, b)
    return m


def build_palette(skins):
    """One palette for every skin: the exact flat colours, then the colours that
    cover the most pixels (the rows of the gradients), then a median cut of the
    rest (anti-aliased edges, pictograms, text)."""
    counts = {}
    for im, cut, key in skins:
        body = Image.new("RGB", im.size, PANEL)
        body.paste(im, (0, 0), cut)
        for n, c in body.getcolors(im.width * im.height):
            counts[c] = counts.get(c, 0) + n
    colours = list(RESERVED)
    frequent = sorted(counts.items(), key=lambda item: (-item[1], item[0]))
    for c, n in frequent[:FREQUENT_COLOURS]:
        if c not in colours and c not in (KEY_GREEN, KEY_PAGE):
            colours.append(c)
    held = set(colours)
    leftovers = []
    for c, n in sorted(counts.items()):
        if c not in held:
            leftovers.extend([c] * n)
    room = 254 - len(colours)
    if leftovers and room > 0:
        sample = Image.new("RGB", (len(leftovers), 1))
        sample.putdata(leftovers)
        q = sample.quantize(colors=room, method=Image.Quantize.MEDIANCUT)
        pal = q.getpalette()
        for i in range(0, min(len(pal), room * 3), 3):
            c = tuple(pal[i:i + 3])
            if c not in held and c not in (KEY_GREEN, KEY_PAGE):
                colours.append(c)
                held.add(c)
    return colours[:254]


BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
DITHER_AMPLITUDE = 6


def ordered_dither(img):
    """Adds a 4x4 Bayer pattern before the palette mapping.  Unlike error
    diffusion it depends only on a pixel's own colour and position, so the same
    pixels come out the same in every skin (the shared buttons rely on that)."""
    pos_tile, neg_tile = Image.new("L", (4, 4)), Image.new("L", (4, 4))
    for y in range(4):
        for x in range(4):
            v = int(round((BAYER[y][x] / 16.0 - 15 / 32.0) * DITHER_AMPLITUDE))
            pos_tile.putpixel((x, y), max(0, v))
            neg_tile.putpixel((x, y), max(0, -v))

    def tiled(tile):
        band = Image.new("L", (img.width + 4, 4))
        for x in range(0, img.width + 4, 4):
            band.paste(tile, (x, 0))
        out = Image.new("L", (img.width, img.height + 4))
        for y in range(0, img.height + 4, 4):
            out.paste(band, (0, y))
        return out.crop((0, 0, img.width, img.height))

    pos, neg = tiled(pos_tile), tiled(neg_tile)
    out = ImageChops.add(img, Image.merge("RGB", (pos, pos, pos)))
    return ImageChops.subtract(out, Image.merge("RGB", (neg, neg, neg)))


def quantise(img, cut, key, colours):
    n = len(colours)
    flat = []
    for c in colours:
        flat.extend(c)
    flat.extend(colours[0] * (256 - n))
    pal_img = Image.new("P", (1, 1))
    pal_img.putpalette(flat)
    body = img.copy()
    body.paste(PANEL, (0, 0, img.width, img.height), ImageChops.invert(cut))
    q = ordered_dither(body).quantize(palette=pal_img, dither=Image.Dither.NONE)
    idx = Image.frombytes("L", q.size, q.tobytes())
    idx = idx.point([i if i < n else 0 for i in range(256)])
    # colours the palette holds exactly stay exact (flat areas under controls)
    for i, c in enumerate(colours[:len(RESERVED)]):
        idx.paste(i, (0, 0, img.width, img.height), colour_mask(img, c))
    idx.paste(n if key == KEY_GREEN else n + 1, (0, 0, img.width, img.height), ImageChops.invert(cut))
    out = Image.frombytes("P", idx.size, idx.tobytes())
    final = list(flat[: n * 3]) + list(KEY_GREEN) + list(KEY_PAGE)
    final.extend(colours[0] * (256 - n - 2))
    out.putpalette(final)
    return out


# --------------------------------------------------------------------------
# Buttons
# --------------------------------------------------------------------------


def crop(skin_rgb, x, y, w, h):
    return skin_rgb.crop((x, y, x + w, y + h))


def white(w, h):
    return Image.new("RGB", (w, h), PANEL)


def toolbar_button(bg, glyph, label, hot):
    w, h = bg.size
    L = Layer(w, h, bg)
    if hot:
        L.framed_rrect(3, 2, w - 3, h - 2, 7, (120, 206, 220, 255), ("v", 2, h - 2, (52, 136, 168), (24, 96, 128)))
        L.rrect(w / 2 - 14, h - 7, w / 2 + 14, h - 4, 1.5, TEAL_LIGHT)
    else:
        L.framed_rrect(3, 2, w - 3, h - 2, 7, (255, 255, 255, 26), (255, 255, 255, 10))
    L.glyph(glyph, (w - 28) / 2, 9, 28, (255, 255, 255) if hot else (214, 232, 242))
    img = L.finish().convert("RGB")
    ImageDraw.Draw(img).text((w / 2, 53), label, font=font(11, True),
                             fill=(255, 255, 255) if hot else (196, 220, 232), anchor="mm")
    return img


def caption_button(bg, glyph, hot, hot_fill):
    w, h = bg.size
    L = Layer(w, h, bg)
    if hot:
        L.rrect(1, 1, w - 1, h - 1, 5, ("v", 1, h - 1, hot_fill[0], hot_fill[1]))
    else:
        L.framed_rrect(1, 1, w - 1, h - 1, 5, (255, 255, 255, 34), (255, 255, 255, 16))
    s = 11
    L.glyph(glyph, (w - s) / 2, (h - s) / 2, s, (255, 255, 255) if hot else (200, 222, 236))
    return L.finish().convert("RGB")


def shape_alpha(w, h, draw):
    L = Layer(w, h)
    draw(L, (255, 255, 255, 255))
    return L.finish().getchannel("A")


def mask_from(alpha):
    """Black inside the button, white outside (the region builder's convention)."""
    return alpha.point(lambda a: 0 if a >= 128 else 255).convert("RGB")


STYLES = {
    # fill, border, text colour, glyph colour
    "primary": (("v", 0, 1, CTA[0], CTA[1]), None, (255, 255, 255), (255, 255, 255)),
    "primary_hot": (("v", 0, 1, CTA_HOT[0], CTA_HOT[1]), None, (255, 255, 255), (255, 255, 255)),
    "warn": (("v", 0, 1, WARN[0], WARN[1]), None, (255, 255, 255), (255, 255, 255)),
    "warn_hot": (("v", 0, 1, WARN_HOT[0], WARN_HOT[1]), None, (255, 255, 255), (255, 255, 255)),
    "neutral": ((240, 245, 249), (176, 194, 208), TEXT, (70, 92, 114)),
    "neutral_hot": ((222, 243, 245), TEAL, TEAL_DARK, TEAL),
    "danger": ((253, 238, 236), (222, 134, 122), (150, 36, 28), (196, 64, 50)),
    "danger_hot": ((250, 218, 212), (200, 70, 54), (130, 24, 16), (186, 44, 30)),
}


def action_button(w, h, glyph, label, style, hot, radius=7, size=12, bg=None, box=None):
    """A labelled push button; returns (image, coverage) where coverage is its shape."""
    bx0, by0, bx1, by1 = box or (0, 0, w, h)
    bw, bh = bx1 - bx0, by1 - by0
    fill, border, tcol, gcol = STYLES[style + ("_hot" if hot else "")]
    if fill[0] == "v":
        fill = ("v", by0, by1, fill[3], fill[4])
    L = Layer(w, h, bg if bg is not None else white(w, h))

    def body(layer, colour_or_fill):
        layer.rrect(bx0, by0, bx1, by1, radius, colour_or_fill)

    if border:
        L.framed_rrect(bx0, by0, bx1, by1, radius, border, fill)
    else:
        body(L, fill)
        # gloss on the upper half and a darker lower rim
        L.paint((bx0, by0, bx1, by0 + bh / 2),
                lambda p: p.rrect(bx0 + 2, by0 + 1.5, bx1 - 2, by0 + bh / 2 + 1, radius - 1.5),
                ("v", by0, by0 + bh / 2, (255, 255, 255, 70 if hot else 52), (255, 255, 255, 8)))
    f = font(size, True, condensed=(text_width(label, font(size, True)) > bw - bh * .5 - 22))
    gs = int(round(bh * .46))
    tw = text_width(label, f)
    total = gs + 7 + tw
    gx = bx0 + (bw - total) / 2
    L.glyph(glyph, gx, by0 + (bh - gs) / 2, gs, gcol)
    img = L.finish().convert("RGB")
    ImageDraw.Draw(img).text((gx + gs + 7, by0 + bh / 2 + .5), label, font=f, fill=tcol, anchor="lm")
    cover = shape_alpha(w, h, lambda layer, c: layer.rrect(bx0, by0, bx1, by1, radius, c))
    return img, cover


def nav_tile(w, h, glyph, title, sub, hot):
    """The large buttons on the left of the main page."""
    L = Layer(w, h, white(w, h))
    L.rrect(1, 2, w - 1, h, 9, (20, 60, 90, 18))
    border = TEAL if hot else (204, 219, 229)
    fill = ("v", 0, h - 2, (234, 249, 249), (216, 240, 242)) if hot else ("v", 0, h - 2, (250, 252, 253), (238, 244, 248))
    L.framed_rrect(0, 0, w - 1, h - 2, 8, border, fill)
    cy = (h - 2) / 2
    top, bottom = CTA_HOT if hot else CTA
    L.paint((9, cy - 17, 43, cy + 17), lambda p: p.circle(26, cy, 17), ("v", cy - 17, cy + 17, top, bottom))
    L.glyph(glyph, 16, cy - 10, 20, (255, 255, 255))
    L.glyph("chevron", w - 24, cy - 7, 14, TEAL if hot else (160, 178, 192))
    img = L.finish().convert("RGB")
    d = ImageDraw.Draw(img)
    d.text((54, cy - 8), title, font=font(13, True), fill=TEAL_DARK if hot else TEXT, anchor="lm")
    d.text((54, cy + 10), sub, font=font(11), fill=MUTED, anchor="lm")
    return img


def settings_tile(w, h, glyph, colours, title, sub, hot):
    """The four manager buttons of the "Settings" page."""
    L = Layer(w, h, white(w, h))
    L.rrect(1, 2, w - 1, h, 10, (20, 60, 90, 18))
    border = TEAL if hot else (204, 219, 229)
    fill = ("v", 0, h - 2, (236, 250, 250), (218, 241, 243)) if hot else ("v", 0, h - 2, (251, 253, 254), (239, 245, 249))
    L.framed_rrect(0, 0, w - 1, h - 2, 9, border, fill)
    cy = (h - 2) / 2
    top, bottom = colours
    if hot:
        top, bottom = lerp(top, (255, 255, 255), .18), lerp(bottom, (255, 255, 255), .12)
    L.paint((12, cy - 22, 56, cy + 22), lambda p: p.rrect(12, cy - 22, 56, cy + 22, 10),
            ("v", cy - 22, cy + 22, top, bottom))
    L.glyph(glyph, 21, cy - 13, 26, (255, 255, 255))
    L.glyph("chevron", w - 30, cy - 9, 18, TEAL if hot else (160, 178, 192))
    img = L.finish().convert("RGB")
    d = ImageDraw.Draw(img)
    d.text((72, cy - 9), title, font=font(15, True), fill=TEAL_DARK if hot else TEXT, anchor="lm")
    d.text((72, cy + 12), sub, font=font(12), fill=MUTED, anchor="lm")
    return img


def areas_heading(w, h):
    L = Layer(w, h, white(w, h))
    L.framed_rrect(0, 0, w, h, 7, (196, 226, 232), ("v", 0, h, (240, 249, 250), (228, 243, 245)))
    L.glyph("checklist", 10, (h - 18) / 2, 18, TEAL)
    img = L.finish().convert("RGB")
    d = ImageDraw.Draw(img)
    d.text((36, h / 2), "Areas to scan", font=font(13, True), fill=TEXT, anchor="lm")
    d.text((w - 10, h / 2), "tick the sections to check", font=font(11), fill=MUTED, anchor="rm")
    return img


TIP_MAIN = ("Tick the areas to check on the right, then press Scan now. Nothing is "
            "changed until you choose Repair, and every entry is backed up first.")


def tip_card(w, h):
    L = Layer(w, h, white(w, h))
    L.framed_rrect(0, 0, w, h, 9, (214, 226, 234), ("v", 0, h, (248, 251, 253), (238, 244, 248)))
    L.paint((0, 0, 6, h), lambda p: (p.rrect(0, 0, 12, h, 9), p.rect(5, 0, 12, h, 0)), TEAL)
    L.glyph("shield", 18, 16, 38, TEAL)
    img = L.finish().convert("RGB")
    d = ImageDraw.Draw(img)
    d.text((68, 26), "Safe cleaning", font=font(14, True), fill=TEXT, anchor="lm")
    f = font(12)
    draw_lines(d, 68, 44, wrap(TIP_MAIN, f, w - 68 - 14), f, MUTED, 17)
    return img


# --------------------------------------------------------------------------
# Icons
# --------------------------------------------------------------------------


def icon_image(s, round_badge):
    L = Layer(s, s)
    simple = s <= 16
    inset = 0 if s <= 16 else s / 32
    draw_mark(L, inset, inset, s - 2 * inset, round_badge=round_badge, simple=simple)
    return L.finish()


def write_ico(path, images):
    """Classic DIB icon entries (32-bit colour with alpha plus the AND mask)."""
    count = len(images)
    header = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    entries, blobs = [], []
    for im in images:
        w, h = im.size
        px = im.load()
        xor = bytearray()
        for y in range(h - 1, -1, -1):
            for x in range(w):
                r, g, b, a = px[x, y]
                xor += bytes((b, g, r, a))
        stride = ((w + 31) // 32) * 4
        andm = bytearray()
        for y in range(h - 1, -1, -1):
            row = bytearray(stride)
            for x in range(w):
                if px[x, y][3] < 128:
                    row[x // 8] |= 0x80 >> (x % 8)
            andm += row
        bih = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
        blob = bih + bytes(xor) + bytes(andm)
        entries.append(struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(header + b"".join(entries) + b"".join(blobs))


# --------------------------------------------------------------------------
# Inventory
# --------------------------------------------------------------------------

# Every image by resource number: (file, role).  Filled in by build().
INVENTORY = {}


def note(number, kind, role):
    ext = {"SKIN": "gif", "BITMAP": "bmp", "ICON": "ico"}[kind]
    prefix = {"SKIN": "skin", "BITMAP": "bmp", "ICON": "icon"}[kind]
    INVENTORY[number] = (kind, "%s_%d.%s" % (prefix, number, ext), role)


def save_bmp(number, img, role):
    assert img.mode == "RGB"
    note(number, "BITMAP", role)
    img.save(os.path.join(OUT, INVENTORY[number][1]), "BMP")
    return img


def build():
    os.makedirs(OUT, exist_ok=True)
    images = {}

    # ---- skins -----------------------------------------------------------
    page_caption = "Tarnwick version 2.6"
    raw = {
        230: (make_frame_skin(MAIN_CANVAS, KEY_GREEN, "Tarnwick Version 2.6"), KEY_GREEN,
              "main window (all three pages)"),
        224: (make_frame_skin(MAIN_CANVAS, KEY_GREEN, page_caption), KEY_GREEN,
              "startup programs, browser helper object and Add/Remove Programs managers"),
        215: (make_frame_skin(SCAN_CANVAS, KEY_PAGE, page_caption, scan_shapes, scan_texts), KEY_PAGE,
              "scan progress page and results viewer"),
        201: (make_frame_skin(MAIN_CANVAS, KEY_PAGE, page_caption, full_shapes, full_texts), KEY_PAGE,
              "backup manager, full-backup page"),
        202: (make_frame_skin(MAIN_CANVAS, KEY_PAGE, page_caption, restore_shapes, restore_texts), KEY_PAGE,
              "backup manager, restore page"),
        222: (make_splash(), KEY_GREEN, "splash window"),
    }
    # the framed windows share one palette; the splash has buttons on nothing and gets its own
    framed = build_palette([(im, cut, key) for n, ((im, cut), key, _) in raw.items() if n != 222])
    (im, cut), key, _ = raw[222]
    palettes = {222: build_palette([(im, cut, key)])}
    skins, cuts = {}, {}
    for number in sorted(raw):
        (im, cut), key, role = raw[number]
        q = quantise(im, cut, key, palettes.get(number, framed))
        note(number, "SKIN", role)
        q.save(os.path.join(OUT, INVENTORY[number][1]), "GIF", optimize=False,
               comment=b"Tarnwick skin %d" % number)
        skins[number] = q.convert("RGB")
        cuts[number] = (cut, key)
    images["skins"] = skins

    main = skins[230]

    # ---- caption buttons -------------------------------------------------
    ex, ey, ew, eh = EXIT_BOX
    mx, my, mw, mh = MIN_BOX
    save_bmp(197, caption_button(crop(main, ex, ey, ew, eh), "close", False, None),
             "close (exit) button, normal: main window 1028, page windows 1028/1018/1030")
    save_bmp(196, caption_button(crop(main, ex, ey, ew, eh), "close", True, ((236, 96, 84), (196, 50, 44))),
             "close (exit) button, hover and pressed")
    save_bmp(256, caption_button(crop(main, mx, my, mw, mh), "minimise", False, None),
             "minimise button 1055, normal")
    save_bmp(257, caption_button(crop(main, mx, my, mw, mh), "minimise", True, ((40, 170, 186), (12, 120, 146))),
             "minimise button 1055, hover and pressed")

    # ---- toolbar ----------------------------------------------------------
    for cid, x, w, normal, hot, glyph, label in TOOLBAR:
        bg = crop(main, dx(x), TOOL_Y, dx(w), TOOL_H)
        save_bmp(normal, toolbar_button(bg, glyph, label, False),
                 "toolbar button %d (label %s), normal, in every window with the frame" % (cid, label))
        save_bmp(hot, toolbar_button(bg, glyph, label, True),
                 "toolbar button %d (label %s), hover and pressed" % (cid, label))
    lx, ly, lw, lh = LOGO_BOX
    save_bmp(232, crop(main, lx, ly, lw, lh), "logo button 1037 of the main window, normal and pressed")

    # ---- main page ---------------------------------------------------------
    tiles = [
        (1038, 238, 233, "magnifier", "Scan registry", "Find invalid entries"),
        (1053, 236, 237, "database", "Backups", "Restore an earlier state"),
        (1047, 234, 235, "gear", "Settings", "Managers and full backup"),
    ]
    for cid, normal, hot, glyph, title, sub in tiles:
        w, h = dx(170), dy(32)
        save_bmp(normal, nav_tile(w, h, glyph, title, sub, False), "main page button %d (label %s), normal" % (cid, title))
        save_bmp(hot, nav_tile(w, h, glyph, title, sub, True), "main page button %d (label %s), hover and pressed" % (cid, title))
    # the undo button below the section check boxes, in the style of the tiles beside it
    save_bmp(320, nav_tile(dx(140), dy(32), "restore", "Undo last repair", "Put it all back", False),
             "main page button 1120 (label Undo last repair), normal")
    save_bmp(321, nav_tile(dx(140), dy(32), "restore", "Undo last repair", "Put it all back", True),
             "main page button 1120 (label Undo last repair), hover and pressed")
    save_bmp(240, areas_heading(dx(196), dy(21)), "main page picture 1042: heading over the section check boxes")
    save_bmp(239, tip_card(dx(226), dy(92)), "main page picture 1040: tip card")

    # big scan button with its mask: drawn on the skin it sits on
    sx, sy = dx(262), dy(285)
    pill_w, pill_h = 210, 54

    def pill(bg, glyph, label, style, hot):
        L = Layer(bg.width, bg.height, bg)
        fill = STYLES[style + ("_hot" if hot else "")][0]
        L.rrect(0, 0, pill_w, pill_h, pill_h / 2, ("v", 0, pill_h, fill[3], fill[4]))
        L.paint((0, 0, pill_w, pill_h / 2),
                lambda p: p.rrect(4, 2, pill_w - 4, pill_h / 2 + 2, pill_h / 2 - 3),
                ("v", 0, pill_h / 2, (255, 255, 255, 80 if hot else 60), (255, 255, 255, 6)))
        if hot:
            L.paint((0, 0, pill_w, pill_h),
                    lambda p: (p.rrect(0, 0, pill_w, pill_h, pill_h / 2),
                               p.rrect(2, 2, pill_w - 2, pill_h - 2, pill_h / 2 - 2, 0)),
                    (255, 255, 255, 120))
        f = font(18, True)
        gs = 26
        total = gs + 10 + text_width(label, f)
        gx = (pill_w - total) / 2
        L.glyph(glyph, gx, (pill_h - gs) / 2, gs, (255, 255, 255))
        img = L.finish().convert("RGB")
        ImageDraw.Draw(img).text((gx + gs + 10, pill_h / 2 + 1), label, font=f, fill=(255, 255, 255), anchor="lm")
        return img

    scan_bg = crop(main, sx, sy, pill_w, pill_h)
    save_bmp(253, pill(scan_bg, "magnifier", "Scan now", "primary", False), "big scan button 1052 of the main page, normal")
    save_bmp(254, pill(scan_bg, "magnifier", "Scan now", "primary", True), "big scan button 1052, hover and pressed")
    cover = shape_alpha(pill_w, pill_h, lambda L, c: L.rrect(0, 0, pill_w, pill_h, pill_h / 2, c))
    save_bmp(255, mask_from(cover), "mask of the big scan button 1052 (253/254)")

    # ---- "Settings" page -----------------------------------------------------
    settings = [
        (1080, 261, 262, "globe", ((70, 140, 230), (30, 84, 180)), "Browser Helper Objects",
         "Add-ons that load with Internet Explorer"),
        (1081, 258, 265, "power", ((250, 160, 70), (220, 100, 40)), "Startup Programs",
         "Programs that start when Windows starts"),
        (1082, 259, 260, "package", ((150, 110, 220), (100, 64, 176)), "Add/Remove Programs",
         "Entries left behind in the programs list"),
        (1083, 263, 264, "disk_save", (CTA[0], CTA[1]), "Full Backup",
         "Save or restore whole registry branches"),
        (1111, 312, 313, "minus_circle", ((120, 136, 152), (78, 94, 110)), "Ignored entries...",
         "Findings that no scan reports again"),
    ]
    for cid, normal, hot, glyph, cols, title, sub in settings:
        w, h = dx(372), dy(40)
        save_bmp(normal, settings_tile(w, h, glyph, cols, title, sub, False),
                 "\"Settings\" page button %d (label %s), normal" % (cid, title))
        save_bmp(hot, settings_tile(w, h, glyph, cols, title, sub, True),
                 "\"Settings\" page button %d (label %s), hover and pressed" % (cid, title))

    # ---- scan progress page / results viewer -------------------------------------
    abort_w, abort_h = dx(160), dy(35)
    abort_bg = crop(skins[215], sx, sy, abort_w, abort_h)
    save_bmp(274, pill(abort_bg, "stop", "Abort scan", "warn", False),
             "abort button 1092 of the scan progress page, normal")
    save_bmp(273, pill(abort_bg, "stop", "Abort scan", "warn", True), "abort button 1092, hover and pressed")
    w, h = dx(102), dy(21)
    save_bmp(271, action_button(w, h, "wrench", "Repair", "primary", False, size=13)[0],
             "repair button 1084 (scan progress page, results viewer), normal")
    save_bmp(270, action_button(w, h, "wrench", "Repair", "primary", True, size=13)[0],
             "repair button 1084, hover and pressed")
    # "Never report again" sits at the right end of the results viewer's title strip.
    nw, nh = dx(86), dy(16)
    never_bg = crop(skins[215], dx(315), dy(68), nw, nh)
    save_bmp(310, action_button(nw, nh, "minus_circle", "Never report again", "neutral", False, size=11,
                                bg=never_bg)[0],
             "results viewer button 1110 (never report the ticked problems again), normal")
    save_bmp(311, action_button(nw, nh, "minus_circle", "Never report again", "neutral", True, size=11,
                                bg=never_bg)[0],
             "results viewer button 1110, hover and pressed")

    # close button family with mask 207 (scan 1029, backup 1022) and restore (backup 1023)
    w, h = dx(68), dy(21)
    img, cover207 = action_button(w, h, "close", "Close", "neutral", False)
    save_bmp(204, img, "close button, normal: scan progress page 1029, backup restore page 1022 (mask 207)")
    save_bmp(203, action_button(w, h, "close", "Close", "neutral", True)[0], "close button 204, hover and pressed")
    save_bmp(206, action_button(w, h, "restore", "Restore", "primary", False)[0],
             "restore button 1023 of the backup restore page, normal (mask 207)")
    save_bmp(205, action_button(w, h, "restore", "Restore", "primary", True)[0], "restore button 1023, hover and pressed")
    save_bmp(207, mask_from(cover207), "mask of the buttons 203/204 and 205/206")
    save_bmp(281, action_button(w, h, "close", "Close", "neutral", False)[0],
             "close button 1029 at the bottom of the results viewer, normal")
    save_bmp(280, action_button(w, h, "close", "Close", "neutral", True)[0], "results viewer close button 1029, hover and pressed")
    # the results viewer's report button, at the right end of the title strip (the panel's
    # foot holds the tip), drawn on the strip it covers
    w, h = dx(76), dy(16)
    report_bg = crop(skins[215], dx(326), dy(69), w, h)
    save_bmp(300, action_button(w, h, "disk_save", "Save report...", "neutral", False, radius=6, size=11, bg=report_bg)[0],
             "save report button 1100 of the results viewer (title strip), normal")
    save_bmp(301, action_button(w, h, "disk_save", "Save report...", "neutral", True, radius=6, size=11, bg=report_bg)[0],
             "save report button 1100, hover and pressed")

    # ---- backup manager ---------------------------------------------------------------
    w, h = dx(50), dy(18)
    img, cover193 = action_button(w, h, "close", "Close", "neutral", False, radius=6, size=11)
    save_bmp(191, img, "close button, normal and pressed: backup full-backup page 1014 (mask 193), managers 1029")
    save_bmp(192, action_button(w, h, "close", "Close", "neutral", True, radius=6, size=11)[0],
             "close button 191, hover (and pressed in the managers)")
    save_bmp(194, action_button(w, h, "play", "Start", "primary", False, radius=6, size=11)[0],
             "action button 1015 of the backup full-backup page (label Start), normal and pressed")
    save_bmp(195, action_button(w, h, "play", "Start", "primary", True, radius=6, size=11)[0],
             "action button 1015, hover")
    save_bmp(193, mask_from(cover193), "mask of the buttons 191/192 and 194/195")

    w, h = 140, dy(21)
    img, cover210 = action_button(w, h, "trash", "Remove backup", "danger", False)
    save_bmp(208, img, "remove button 1044 of the backup restore page, normal (mask 210)")
    save_bmp(209, action_button(w, h, "trash", "Remove backup", "danger", True)[0], "remove button 1044, hover and pressed")
    save_bmp(210, mask_from(cover210), "mask of the remove button 208/209")

    w, h = dx(50), dy(16)
    save_bmp(211, action_button(w, h, "box_checked", "Select all", "neutral", False, radius=5, size=11)[0],
             "select-all button 1026 of the backup restore page (label Select all), normal")
    save_bmp(212, action_button(w, h, "box_checked", "Select all", "neutral", True, radius=5, size=11)[0],
             "select-all button 1026, hover and pressed")
    save_bmp(213, action_button(w, h, "box_empty", "Clear all", "neutral", False, radius=5, size=11)[0],
             "deselect-all button 1027 of the backup restore page (label Clear all), normal")
    save_bmp(214, action_button(w, h, "box_empty", "Clear all", "neutral", True, radius=5, size=11)[0],
             "deselect-all button 1027, hover and pressed")

    # ---- managers -----------------------------------------------------------------------
    w, h = dx(64), dy(18)
    for normal, hot, glyph, label, style, role in [
        (225, 226, "minus_circle", "Remove", "danger", "remove button of the three managers (1082, 1031, 1052)"),
        (227, 228, "restore", "Restore", "primary", "restore button of the three managers (1083, 1030, 1046)"),
        (267, 268, "play", "Run", "neutral", "run button 1079 of the startup programs manager"),
    ]:
        save_bmp(normal, action_button(w, h, glyph, label, style, False, radius=6, size=11)[0], role + ", normal")
        save_bmp(hot, action_button(w, h, glyph, label, style, True, radius=6, size=11)[0], role + ", hover and pressed")

    # ---- icons -----------------------------------------------------------------------------
    for number, badge, role in [(128, False, "application icon (window, task bar, minimised window)"),
                                (132, True, "notification-area icon")]:
        note(number, "ICON", role)
        write_ico(os.path.join(OUT, INVENTORY[number][1]), [icon_image(s, badge) for s in (16, 32, 48)])

    write_rc_fragment()
    return skins, cuts


def write_rc_fragment():
    lines = [
        "// Tarnwick artwork, generated by resources/art/make_art.py: do not edit by hand.",
        "// Paths are relative to the resources folder.",
        "",
    ]
    for kind in ("ICON", "SKIN", "BITMAP"):
        for number in sorted(n for n, v in INVENTORY.items() if v[0] == kind):
            lines.append('%d %s "images/%s"' % (number, kind, INVENTORY[number][1]))
        lines.append("")
    with open(os.path.join(OUT, "images.rc.inc"), "w", newline="\n") as f:
        f.write("\n".join(lines))


README = os.path.join(HERE, "README.md")
TABLE_BEGIN = "<!-- images table: written by make_art.py -->"
TABLE_END = "<!-- end of images table -->"


def update_readme_table():
    """Keeps the resource table of README.md in step with what was drawn."""
    if not os.path.exists(README):
        return
    with open(README, encoding="utf-8") as f:
        text = f.read()
    if TABLE_BEGIN not in text or TABLE_END not in text:
        return
    rows = ["| Number | Type | File | Pixels | Role |", "|---|---|---|---|---|"]
    for kind in ("SKIN", "ICON", "BITMAP"):
        for number in sorted(n for n, v in INVENTORY.items() if v[0] == kind):
            _, name, role = INVENTORY[number]
            path = os.path.join(OUT, name)
            if kind == "ICON":
                size = "16x16, 32x32, 48x48"
            else:
                w, h = Image.open(path).size
                size = "%dx%d" % (w, h)
            rows.append("| %d | %s | images/%s | %s | %s |" % (number, kind, name, size, role.replace("|", "/")))
    head, rest = text.split(TABLE_BEGIN, 1)
    _, tail = rest.split(TABLE_END, 1)
    with open(README, "w", encoding="utf-8", newline="\n") as f:
        f.write(head + TABLE_BEGIN + "\n" + "\n".join(rows) + "\n" + TABLE_END + tail)


# --------------------------------------------------------------------------
# Checks
# --------------------------------------------------------------------------


def verify(skins, cuts):
    problems = []
    for number, (cut, key) in cuts.items():
        path = os.path.join(OUT, INVENTORY[number][1])
        with open(path, "rb") as f:
            if f.read(6) != b"GIF89a":
                problems.append("%s is not GIF89a" % path)
        back = Image.open(path).convert("RGB")
        if back.tobytes() != skins[number].tobytes():
            problems.append("%s does not read back as drawn" % path)
        outside = ImageChops.invert(cut)
        is_key = colour_mask(back, key)
        # every pixel outside the outline is the key, none inside is
        if ImageChops.difference(is_key, outside).getbbox() is not None:
            problems.append("%s: key colour does not exactly mark the outside" % path)
        other = KEY_PAGE if key == KEY_GREEN else KEY_GREEN
        if colour_mask(back, other).getbbox() is not None:
            problems.append("%s holds the other key colour" % path)
        if number != 222:
            # the flat areas that controls paint over keep their exact colours
            for xy, c in (((604, 300), PANEL), ((600, 113), STRIP)):
                if back.getpixel(xy) != c:
                    problems.append("%s: pixel %s is %s, not %s" % (path, xy, back.getpixel(xy), c))
    # the shared caption and toolbar buttons must sit on identical pixels everywhere
    boxes = [EXIT_BOX, MIN_BOX] + [(dx(x), TOOL_Y, dx(w), TOOL_H) for _, x, w, _, _, _, _ in TOOLBAR]
    for number in (201, 202, 215, 224):
        for x, y, w, h in boxes:
            if crop(skins[number], x, y, w, h).tobytes() != crop(skins[230], x, y, w, h).tobytes():
                problems.append("skin %d differs from the main skin under the button at %d,%d" % (number, x, y))
    for number, (kind, name, role) in INVENTORY.items():
        path = os.path.join(OUT, name)
        if kind == "BITMAP":
            with open(path, "rb") as f:
                head = f.read(54)
            bits = struct.unpack("<H", head[28:30])[0]
            height = struct.unpack("<i", head[22:26])[0]
            if head[:2] != b"BM" or bits != 24 or height <= 0:
                problems.append("%s is not a 24-bit bottom-up bitmap" % path)
    pairs = {255: (253, 254), 207: (203, 204, 205, 206), 193: (191, 192, 194, 195), 210: (208, 209)}
    for m, users in pairs.items():
        mask = Image.open(os.path.join(OUT, INVENTORY[m][1])).convert("RGB")
        if set(mask.getdata()) - {(0, 0, 0), (255, 255, 255)}:
            problems.append("mask %d is not pure black and white" % m)
        for u in users:
            im = Image.open(os.path.join(OUT, INVENTORY[u][1]))
            if im.size != mask.size:
                problems.append("mask %d is %s but image %d is %s" % (m, mask.size, u, im.size))
    for number in (128, 132):
        ico = Image.open(os.path.join(OUT, INVENTORY[number][1]))
        sizes = sorted(ico.info.get("sizes", []))
        if sizes != [(16, 16), (32, 32), (48, 48)]:
            problems.append("icon %d has sizes %s" % (number, sizes))
    return problems


# --------------------------------------------------------------------------
# Preview sheet (not used by the build)
# --------------------------------------------------------------------------

DESKTOP = (74, 92, 112)


def bmp(number):
    return Image.open(os.path.join(OUT, INVENTORY[number][1])).convert("RGB")


def place_masked(canvas, number, mask_number, x, y):
    img = bmp(number)
    m = bmp(mask_number).convert("L").point(lambda v: 255 if v < 128 else 0)
    canvas.paste(img, (x, y), m)


class Mock:
    """Stand-ins for the standard controls, to check they land on the right areas."""

    def __init__(self, canvas):
        self.c = canvas
        self.d = ImageDraw.Draw(canvas)
        self.f = font(11)

    def label(self, x, y, text, bold=False, colour=TEXT, bg=None, w=None, h=None):
        if bg is not None:
            self.d.rectangle((x, y, x + w - 1, y + h - 1), fill=bg)
        self.d.text((x + 1, y + (h or 14) / 2), text, font=font(11, bold), fill=colour, anchor="lm")

    def check(self, x, y, text=None, on=True, radio=False):
        if radio:
            self.d.ellipse((x, y + 1, x + 12, y + 13), outline=(110, 120, 130), fill=(255, 255, 255))
            if on:
                self.d.ellipse((x + 4, y + 5, x + 8, y + 9), fill=TEXT)
        else:
            self.d.rectangle((x, y + 1, x + 12, y + 13), outline=(110, 120, 130), fill=(255, 255, 255))
            if on:
                self.d.line((x + 3, y + 7, x + 5, y + 10, x + 10, y + 4), fill=TEXT, width=2)
        if text:
            self.d.text((x + 18, y + 7), text, font=self.f, fill=TEXT, anchor="lm")

    def list(self, x0, y0, x1, y1, columns, rows=()):
        self.d.rectangle((x0, y0, x1 - 1, y1 - 1), outline=(122, 138, 150), fill=(255, 255, 255))
        self.d.rectangle((x0 + 1, y0 + 1, x1 - 2, y0 + 20), fill=(240, 242, 244))
        x = x0 + 1
        for title, w in columns:
            self.d.text((x + 6, y0 + 11), title, font=self.f, fill=TEXT, anchor="lm")
            x += w
            if x < x1 - 2:
                self.d.line((x, y0 + 1, x, y0 + 20), fill=(200, 205, 210))
        y = y0 + 22
        for row in rows:
            x = x0 + 1
            for (title, w), cell in zip(columns, row):
                self.d.text((x + 6, y + 8), cell, font=self.f, fill=TEXT, anchor="lm")
                x += w
            y += 18

    def progress(self, x, y, w, h, fraction):
        self.d.rectangle((x, y, x + w - 1, y + h - 1), outline=(150, 160, 170), fill=(236, 238, 240))
        self.d.rectangle((x + 2, y + 2, x + 2 + int((w - 4) * fraction), y + h - 3), fill=(40, 170, 90))

    def combo(self, x, y, w, text):
        self.d.rectangle((x, y, x + w - 1, y + 20), outline=(122, 138, 150), fill=(255, 255, 255))
        self.d.rectangle((x + w - 18, y + 1, x + w - 2, y + 19), fill=(232, 236, 240))
        self.d.polygon([(x + w - 14, y + 8), (x + w - 6, y + 8), (x + w - 10, y + 13)], fill=TEXT)
        self.d.text((x + 5, y + 10), text, font=self.f, fill=TEXT, anchor="lm")

    def group(self, x0, y0, x1, y1, title):
        self.d.rectangle((x0, y0 + 7, x1, y1), outline=(190, 200, 210))
        tw = text_width(title, self.f)
        self.d.rectangle((x0 + 8, y0, x0 + 14 + tw, y0 + 14), fill=(255, 255, 255))
        self.d.text((x0 + 11, y0 + 7), title, font=self.f, fill=TEXT, anchor="lm")

    def para(self, x, y, w, text, colour=TEXT):
        draw_lines(self.d, x, y, wrap(text, self.f, w), self.f, colour, 14)


def window_view(skin_number, skins, cuts, draw):
    skin = skins[skin_number].copy()
    cut, key = cuts[skin_number]
    desk = Image.new("RGB", skin.size, DESKTOP)
    desk.paste(skin, (0, 0), cut)
    draw(desk)
    # what the colour key makes transparent, buttons included
    desk.paste(DESKTOP, (0, 0, desk.width, desk.height), colour_mask(desk, key))
    return desk


def header(canvas, with_logo_button=False):
    x, y, w, h = EXIT_BOX
    canvas.paste(bmp(197), (x, y))
    x, y, w, h = MIN_BOX
    canvas.paste(bmp(256), (x, y))
    for cid, xd, wd, normal, hot, glyph, label in TOOLBAR:
        canvas.paste(bmp(hot if cid == 1049 else normal), (dx(xd), TOOL_Y))
    if with_logo_button:
        canvas.paste(bmp(232), LOGO_BOX[:2])


SECTIONS_LEFT = ["Complete Registry Scan", "ProgramID Section", "Add Remove Programs", "Applications Path",
                 "Windows Fonts", "Shared Programs Files", "Help Files"]
SECTIONS_RIGHT = ["Start up Programs", "System Services", "VXD Sections", "File Associations",
                  "Sound Section", "Registry Integrity", "Invalid Shortcuts"]


def view_main_page(c):
    header(c, True)
    for cid, normal, hot, y in [(1038, 238, 233, 101), (1053, 236, 237, 138), (1047, 234, 235, 174)]:
        c.paste(bmp(normal), (dx(23), dy(y)))
    c.paste(bmp(239), (dx(20), dy(221)))
    c.paste(bmp(240), (dx(204), dy(96)))
    c.paste(bmp(320), (dx(262), dy(244)))
    place_masked(c, 253, 255, dx(262), dy(285))
    m = Mock(c)
    for i in range(7):
        y = dy(120 + (202 - 120) * i // 6)
        m.check(dx(211), y, SECTIONS_LEFT[i])
        m.check(dx(318), y, SECTIONS_RIGHT[i], on=i != 3)


def view_settings_page(c):
    header(c, True)
    Mock(c).label(dx(130), dy(72), "Settings", True, (255, 255, 255), STRIP, dx(101), dy(9))
    for normal, y in [(261, 96), (258, 141), (259, 187), (263, 232), (312, 277)]:
        c.paste(bmp(normal), (dx(18), dy(y)))
    c.paste(bmp(265), (dx(18), dy(141)))  # one shown hovered


def view_options_page(c):
    header(c, True)
    m = Mock(c)
    m.label(dx(130), dy(72), "Advanced Options", True, (255, 255, 255), STRIP, dx(101), dy(9))
    m.check(dx(153), dy(163), None, True)
    m.label(dx(165), dy(163) - 1, "Restore From Latest Backup")
    m.check(dx(153), dy(184), None, False)
    m.label(dx(165), dy(184) - 1, "Perform Scan on Application Load")


def view_scan(c, finished):
    header(c)
    m = Mock(c)
    m.label(dx(124), dy(72), "Process Bar", True, (255, 255, 255), STRIP, dx(188), dy(10))
    rows = [("Complete Registry Scan ", "12", "Finished"), ("ProgramID Section", "3", "Finished"),
            ("File Associations", "0", "Scanning")]
    m.list(17, 144, 600, 405, [("Section Name", 380), ("Problems", 100), ("Status", 100)], rows)
    m.progress(dx(14), dy(252), dx(384), dy(13), 1.0 if finished else .45)
    m.label(dx(14), dy(265), "HKEY_CLASSES_ROOT\\.txt [Content Type]", colour=TEXT, bg=PANEL, w=dx(384), h=dy(13))
    if finished:
        c.paste(bmp(271), (dx(231), dy(284)))
        place_masked(c, 204, 207, dx(336), dy(284))
    else:
        c.paste(bmp(274), (dx(262), dy(285)))


def view_results(c):
    header(c)
    m = Mock(c)
    m.list(17, 144, 600, 455, [("", 30), ("", 160), ("", 165), ("", 225)],
           [("x", "Windows Fonts", "2 Problems Found", "Use Double-Click for view Details..."),
            ("x", "System Services", "1 Problems Found", "Use Double-Click for view Details...")])
    c.paste(bmp(300), (dx(326), dy(69)))
    c.paste(bmp(271), (dx(231), dy(284)))
    c.paste(bmp(281), (dx(336), dy(284)))
    c.paste(bmp(310), (dx(315), dy(68)))


def view_backup_full(c):
    header(c)
    m = Mock(c)
    m.check(dx(244), dy(189), "Create a new backup", True, radio=True)
    m.check(dx(244), dy(209), "Restore a previous backup", False, radio=True)
    place_masked(c, 195, 193, dx(242), dy(225))
    place_masked(c, 191, 193, dx(293), dy(225))


def view_backup_restore(c):
    header(c)
    m = Mock(c)
    m.combo(dx(129), dy(103), dx(189), "Monday, March 07, 2005, 14:05:09")
    m.list(43, 205, 574, 412, [("Key Type", 57), ("Item Path", 470)],
           [("Key", "HKEY_CLASSES_ROOT\\CLSID\\{...}"), ("Value", "HKEY_CLASSES_ROOT\\CLSID\\{...} [InprocServer32]")])
    c.paste(bmp(213), (dx(267), dy(258)))
    c.paste(bmp(211), (dx(331), dy(258)))
    place_masked(c, 208, 210, dx(24), dy(289))
    place_masked(c, 206, 207, dx(266), dy(289))
    place_masked(c, 204, 207, dx(336), dy(289))


MANAGER_TEXT = {
    "startup": ("Manage Startup Programs",
                "Startup Programs are applications that run each time you start your computer. You can view "
                "details about each item by highlighting an entry below, including the company behind the "
                "application as well as the Product Name so you can make an informed decision on what you wish to remove.",
                (35, 235, 584, 396), [("Select", 40), ("Program Name", 150), ("Run Path", 400)]),
    "bho": ("Manage Browser Helper Object (BHO)",
            "Browser Helper Objects are objects that attach tyhemselves to Internet Explorer, and start each time "
            "your browser is started. These item can included Internet Explorer Add-ons such as Toolbars.",
            (35, 265, 584, 416), [("Select", 50), ("BHO Path", 400)]),
    "addremove": ("Manage Installed Programs",
                  "Add/Remove Programs items are entries that are listed when you access the Add/Removes section "
                  "of your PC's control panel.",
                  (35, 266, 583, 476), [("Select", 50), ("Program Name", 150), ("Uninstall Path", 400)]),
}


def view_manager(kind):
    def draw(c):
        header(c)
        title, text, rect, cols = MANAGER_TEXT[kind]
        m = Mock(c)
        m.label(dx(130), dy(72), title, True, (255, 255, 255), STRIP, dx(188), dy(10))
        m.para(35, 150, 548, text)
        m.list(*rect, cols)
        if kind == "startup":
            m.group(35, 402, 584, 478, "Details")
            for i, t in enumerate(["File Name:", "Product Name:", "Desctiption:", "Company:"]):
                m.label(45, 418 + i * 14, t)
        y = 486
        x = 584
        for number in ([191, 227, 225] + ([267] if kind == "startup" else [])):
            w = bmp(number).width
            x -= w
            c.paste(bmp(number), (x, y))
            x -= 6
    return draw


def build_preview(skins, cuts):
    views = [
        ("Main window, main page (skin 230)", 230, view_main_page),
        ("Main window, \"Settings\" page (skin 230)", 230, view_settings_page),
        ("Main window, \"Advanced Options\" page (skin 230)", 230, view_options_page),
        ("Scan progress page while scanning (skin 215)", 215, lambda c: view_scan(c, False)),
        ("Scan progress page after the scan (skin 215)", 215, lambda c: view_scan(c, True)),
        ("Results viewer (skin 215)", 215, view_results),
        ("Backup manager, full-backup page (skin 201)", 201, view_backup_full),
        ("Backup manager, restore page (skin 202)", 202, view_backup_restore),
        ("Startup programs manager (skin 224; layout below the list is a suggestion)", 224, view_manager("startup")),
        ("Browser helper object manager (skin 224)", 224, view_manager("bho")),
        ("Add/Remove Programs manager (skin 224)", 224, view_manager("addremove")),
    ]
    cell_w, cell_h = FRAME_W + 40, FRAME_H + 60
    cols = 3
    rows = (len(views) + 1 + cols - 1) // cols
    states_h = 1400
    sheet = Image.new("RGB", (cols * cell_w + 20, rows * cell_h + states_h + 40), (46, 58, 72))
    d = ImageDraw.Draw(sheet)
    crops = {}
    for i, (title, number, draw) in enumerate(views):
        view = window_view(number, skins, cuts, draw)
        crops[title] = view
        x = 20 + (i % cols) * cell_w
        y = 20 + (i // cols) * cell_h
        d.text((x, y + 6), title, font=font(14, True), fill=(235, 240, 245))
        sheet.paste(view.crop((0, 0, FRAME_W + 20, FRAME_H + 14)), (x, y + 30))
    # splash in the last cell
    i = len(views)
    x = 20 + (i % cols) * cell_w
    y = 20 + (i // cols) * cell_h
    d.text((x, y + 6), "Splash window (skin 222)", font=font(14, True), fill=(235, 240, 245))
    splash = window_view(222, skins, cuts, lambda c: None)
    sheet.paste(splash, (x, y + 30))
    # icons, enlarged and at size
    iy = y + 60 + splash.height
    for j, number in enumerate((128, 132)):
        ico = Image.open(os.path.join(OUT, INVENTORY[number][1]))
        for k, s in enumerate((16, 32, 48)):
            ico.size = (s, s)
            im = ico.convert("RGBA")
            px = x + j * 300 + k * 60
            back = Image.new("RGBA", (48, 48), (236, 240, 244, 255))
            back.alpha_composite(im, ((48 - s) // 2, (48 - s) // 2))
            sheet.paste(back.convert("RGB"), (px, iy))
        d.text((x + j * 300, iy + 56), "icon %d at 16, 32, 48" % number, font=font(12), fill=(235, 240, 245))
        ico.size = (48, 48)
        big = ico.convert("RGBA").resize((144, 144), Image.NEAREST)
        back = Image.new("RGBA", (144, 144), (236, 240, 244, 255))
        back.alpha_composite(big)
        sheet.paste(back.convert("RGB"), (x + j * 300 + 10, iy + 80))
    # every button state: normal, then hover/pressed, with masks
    y0 = 20 + rows * cell_h
    d.text((20, y0), "Button states (normal | hover and pressed | mask)", font=font(16, True), fill=(235, 240, 245))
    groups = [
        (197, 196, None, "exit"), (256, 257, None, "minimise"), (243, 244, None, "Home"), (241, 242, None, "Options"),
        (249, 250, None, "Backups"), (247, 248, None, "Settings"), (251, 252, None, "Help"),
        (232, 232, None, "logo"), (238, 233, None, "1038"), (236, 237, None, "1053"), (234, 235, None, "1047"),
        (253, 254, 255, "1052"), (274, 273, None, "1092"), (271, 270, None, "1084"), (204, 203, 207, "1029/1022"),
        (206, 205, 207, "1023"), (281, 280, None, "results 1029"), (300, 301, None, "1100"), (191, 192, 193, "close"), (194, 195, 193, "start"),
        (208, 209, 210, "1044"), (211, 212, None, "1026"), (213, 214, None, "1027"), (225, 226, None, "remove"),
        (227, 228, None, "restore"), (267, 268, None, "run"), (240, 240, None, "1042"),
        (261, 262, None, "1080"), (258, 265, None, "1081"), (259, 260, None, "1082"), (263, 264, None, "1083"),
        (239, 239, None, "1040"), (310, 311, None, "1110"), (312, 313, None, "1111"), (320, 321, None, "1120"),
    ]
    x, y, line_h = 20, y0 + 30, 0
    max_w = sheet.width - 20
    for a, b, m, label in groups:
        ims = [bmp(a), bmp(b)] + ([bmp(m)] if m else [])
        gw = sum(im.width for im in ims) + 6 * (len(ims) - 1)
        gh = max(im.height for im in ims) + 18
        if x + gw > max_w:
            x, y = 20, y + line_h + 12
            line_h = 0
        d.text((x, y), "%d %s" % (a, label), font=font(11), fill=(200, 210, 220))
        xx = x
        for im in ims:
            sheet.paste(im, (xx, y + 16))
            xx += im.width + 6
        x += gw + 24
        line_h = max(line_h, gh)
    sheet = sheet.crop((0, 0, sheet.width, min(sheet.height, y + line_h + 20)))
    sheet.save(PREVIEW, "PNG", optimize=True)
    return crops


def main():
    skins, cuts = build()
    update_readme_table()
    problems = verify(skins, cuts)
    build_preview(skins, cuts)
    for p in problems:
        print("make_art: " + p, file=sys.stderr)
    if problems:
        return 1
    print("make_art: wrote %d images to %s" % (len(INVENTORY), OUT))
    return 0


if __name__ == "__main__":
    sys.exit(main())
