#!/usr/bin/python3
"""Draws the icons of the desktop program into data/icons/ (run once; the results are committed).

Every icon is drawn on a 32-unit grid at eight times its size and scaled down, so edges are
smooth at 16, 24 and 32 pixels. Tool-bar icons get a second, lighter set for the mouse-over
state (name-hot.png). The application icon is drawn at every size the desktop asks for.
"""
import os
from PIL import Image, ImageDraw, ImageFont, ImageEnhance

OUT = os.path.join(os.path.dirname(__file__), "..", "data", "icons")
SS = 8  # supersampling factor
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

FOLDER = (232, 179, 60, 255)
FOLDER_DARK = (176, 124, 24, 255)
PAPER = (250, 250, 250, 255)
INK = (70, 78, 90, 255)
GREEN = (52, 150, 62, 255)
RED = (200, 55, 45, 255)
BLUE = (47, 111, 179, 255)
SKY = (120, 180, 235, 255)
HILL = (70, 150, 80, 255)
SUN = (250, 205, 70, 255)
WHITE = (255, 255, 255, 255)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.k = size * SS / 32.0
        self.img = Image.new("RGBA", (size * SS, size * SS), (0, 0, 0, 0))
        self.d = ImageDraw.Draw(self.img)

    def p(self, pts):
        return [(x * self.k, y * self.k) for x, y in pts]

    def poly(self, pts, fill, outline=None, width=1.0):
        self.d.polygon(self.p(pts), fill=fill)
        if outline:
            self.line(list(pts) + [pts[0]], outline, width)

    def line(self, pts, fill, width):
        self.d.line(self.p(pts), fill=fill, width=max(1, int(width * self.k)), joint="curve")

    def rect(self, x0, y0, x1, y1, fill, outline=None, width=1.0, radius=0.0):
        box = self.p([(x0, y0), (x1, y1)])
        self.d.rounded_rectangle(box, radius=radius * self.k, fill=fill, outline=outline,
                                 width=max(1, int(width * self.k)) if outline else 0)

    def ellipse(self, x0, y0, x1, y1, fill, outline=None, width=1.0):
        self.d.ellipse(self.p([(x0, y0), (x1, y1)]), fill=fill, outline=outline,
                       width=max(1, int(width * self.k)) if outline else 0)

    def text(self, x, y, s, font_file, units, fill):
        font = ImageFont.truetype(os.path.join(FONT_DIR, font_file), int(units * self.k))
        self.d.text((x * self.k, y * self.k), s, font=font, fill=fill, anchor="mm")

    def result(self):
        return self.img.resize((self.size, self.size), Image.LANCZOS)


def badge_plus(c):
    c.ellipse(19, 19, 31, 31, GREEN, WHITE, 1.2)
    c.line([(25, 21.8), (25, 28.2)], WHITE, 2.2)
    c.line([(21.8, 25), (28.2, 25)], WHITE, 2.2)


def badge_cross(c):
    c.ellipse(19, 19, 31, 31, RED, WHITE, 1.2)
    c.line([(22.2, 22.2), (27.8, 27.8)], WHITE, 2.2)
    c.line([(27.8, 22.2), (22.2, 27.8)], WHITE, 2.2)


def folder(c, open_=False):
    c.poly([(2, 7), (11, 7), (13.5, 9.5), (28, 9.5), (28, 26), (2, 26)], FOLDER_DARK)
    if open_:
        c.poly([(5.5, 13), (31, 13), (27.5, 26), (2, 26)], FOLDER, FOLDER_DARK, 1.0)
    else:
        c.rect(2, 12, 28, 26, FOLDER, FOLDER_DARK, 1.0, 1.0)


def document(c, x=5, y=2, w=19, h=25):
    fold = 6
    c.poly([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h)], PAPER, INK, 1.2)
    c.poly([(x + w - fold, y), (x + w - fold, y + fold), (x + w, y + fold)], (215, 220, 228, 255), INK, 1.0)


def picture(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, SKY, INK, 1.2, 1.0)
    c.ellipse(x1 - 7, y0 + 2.5, x1 - 3, y0 + 6.5, SUN)
    c.poly([(x0 + 1, y1 - 1), (x0 + 7, y0 + 7), (x0 + 11, y1 - 5), (x0 + 14, y1 - 8), (x1 - 1, y1 - 1)], HILL)


def icon_add_folder(c):
    folder(c)
    badge_plus(c)


def icon_add_files(c):
    document(c, 4, 1, 19, 25)
    for y in (11, 15, 19):
        c.line([(8, y), (18, y)], (160, 168, 180, 255), 1.2)
    badge_plus(c)


def icon_remove(c):
    c.rect(3, 4, 25, 25, PAPER, INK, 1.2, 1.5)
    for y in (9, 14, 19):
        c.rect(6, y - 1.3, 8.6, y + 1.3, BLUE)
        c.line([(11, y), (22, y)], (150, 158, 170, 255), 1.4)
    badge_cross(c)


def icon_convert(c):
    picture(c, 1.5, 3, 19, 17)
    c.poly([(13, 20), (23, 20), (23, 15.5), (31, 23.5), (23, 31.5), (23, 27), (13, 27)], GREEN, WHITE, 1.0)


def icon_exit(c):
    c.rect(4, 3, 19, 29, (150, 110, 70, 255), INK, 1.2, 1.0)
    c.ellipse(14, 15, 16.5, 17.5, SUN)
    c.poly([(16, 13), (24, 13), (24, 8.5), (31, 16), (24, 23.5), (24, 19), (16, 19)], RED, WHITE, 1.0)


def icon_browse(c):
    folder(c, open_=True)


def icon_font(c):
    c.text(12.5, 15, "A", "DejaVuSerif-Bold.ttf", 25, INK)
    c.text(24.5, 20, "a", "DejaVuSerif-Bold.ttf", 17, BLUE)
    c.line([(3, 29), (29, 29)], RED, 2.0)


def icon_variable(c):
    c.text(16, 16, "[ ]", "DejaVuSansMono-Bold.ttf", 21, BLUE)
    c.line([(16, 11), (16, 21)], GREEN, 3.0)
    c.line([(11, 16), (21, 16)], GREEN, 3.0)


def icon_preview(c):
    # An eye: an almond of two arcs, the iris and a glint.
    import math
    top = [(16 - 15 * math.cos(t * math.pi / 20), 16 - 9 * math.sin(t * math.pi / 20)) for t in range(21)]
    bottom = [(16 + 15 * math.cos(t * math.pi / 20), 16 + 9 * math.sin(t * math.pi / 20)) for t in range(21)]
    c.poly(top + bottom, PAPER, INK, 1.4)
    c.ellipse(10, 10, 22, 22, BLUE)
    c.ellipse(13, 13, 19, 19, INK)
    c.ellipse(13.8, 12.8, 16.2, 15.2, WHITE)


def icon_app(c):
    # Two photographs, the back one turned, and an arrow that makes them smaller.
    back = Image.new("RGBA", c.img.size, (0, 0, 0, 0))
    b = Canvas.__new__(Canvas)
    b.size, b.k, b.img = c.size, c.k, back
    b.d = ImageDraw.Draw(back)
    b.rect(4, 3, 26, 21, WHITE, INK, 1.0, 1.5)
    b.rect(6, 5, 24, 19, (245, 160, 80, 255))
    back = back.rotate(12, resample=Image.BICUBIC, center=(15 * c.k, 12 * c.k))
    c.img.alpha_composite(back)
    c.d = ImageDraw.Draw(c.img)
    c.rect(3, 9, 25, 28, WHITE, INK, 1.0, 1.5)
    picture(c, 5, 11, 23, 26)
    c.ellipse(17.5, 16.5, 31.5, 30.5, BLUE, WHITE, 1.2)
    c.line([(21.2, 20.2), (25.6, 24.6)], WHITE, 2.4)
    c.poly([(28.3, 27.3), (28.3, 21.6), (22.6, 27.3)], WHITE)


TOOLBAR = {"add-folder": icon_add_folder, "add-files": icon_add_files, "remove": icon_remove,
           "convert": icon_convert}
BUTTONS = {"exit": icon_exit, "browse": icon_browse, "font": icon_font, "variable": icon_variable,
           "preview": icon_preview}


def render(fn, size):
    c = Canvas(size)
    fn(c)
    return c.result()


def hot(img):
    lit = ImageEnhance.Brightness(img).enhance(1.18)
    return ImageEnhance.Color(lit).enhance(1.25)


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, fn in {**TOOLBAR, **BUTTONS}.items():
        for size in (16, 32):
            render(fn, size).save(os.path.join(OUT, f"{name}-{size}.png"), optimize=True)
    for name, fn in TOOLBAR.items():
        hot(render(fn, 32)).save(os.path.join(OUT, f"{name}-hot-32.png"), optimize=True)
    for size in (16, 24, 32, 48, 64, 128, 256):
        render(icon_app, size).save(os.path.join(OUT, f"brevane-{size}.png"), optimize=True)


if __name__ == "__main__":
    main()
