"""Sources and references for the photo-option tests, made with Pillow (an independent reader
and writer): oriented images, images with embedded ICC profiles, and what Pillow makes of them
(exif_transpose, ImageCms to sRGB). Images go out as PAM files for the C++ side to compare.

Usage:
  photo_fixtures.py oriented KIND ORIENTATION OUT       KIND: jpeg, png or tiff
  photo_fixtures.py profiled MODE PROFILE OUT           MODE: RGB or CMYK; PROFILE a file or "-" for
                                                        none; OUT's extension picks the format
  photo_fixtures.py damaged OUT                         a JPEG whose embedded profile is garbage
  photo_fixtures.py upright IN OUT.pam                  exif_transpose of IN
  photo_fixtures.py pattern ORIENTATION OUT.pam         exif_transpose of the pattern as "oriented"
                                                        stores it, tagged with ORIENTATION (for
                                                        TIFF: Pillow's TIFF reader already turns
                                                        the pixels on load, so "upright" would turn
                                                        them twice)
  photo_fixtures.py to-srgb IN OUT.pam                  IN's pixels from its embedded profile to sRGB
  photo_fixtures.py profile-of IN OUT                   IN's embedded profile (empty file: none)
"""
import sys

from PIL import Image, ImageCms, ImageOps


def pattern(mode, width=37, height=23):
    # A smooth but asymmetric picture: every pixel differs from its mirror images.
    img = Image.new("RGB", (width, height))
    px = img.load()
    for y in range(height):
        for x in range(width):
            px[x, y] = ((x * 255) // (width - 1), (y * 255) // (height - 1), ((x * 7 + y * 13) * 3) % 256)
    if mode == "CMYK":
        cmyk = Image.new("CMYK", (width, height))
        cp = cmyk.load()
        for y in range(height):
            for x in range(width):
                r, g, b = px[x, y]
                cp[x, y] = (255 - r, 255 - g, (x * 11 + y * 5) % 200, (x * y) % 90)
        return cmyk
    return img


def write_pam(img, path):
    img = img.convert("RGBA")
    with open(path, "wb") as f:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % img.size)
        f.write(img.tobytes())


def main(args):
    cmd = args[0]
    if cmd == "oriented":
        kind, orientation, out = args[1], int(args[2]), args[3]
        img = pattern("RGB")
        if kind == "tiff":
            img.save(out, "TIFF", tiffinfo={274: orientation})
        else:
            exif = Image.Exif()
            exif[0x0112] = orientation
            if kind == "jpeg":
                img.save(out, "JPEG", quality=95, exif=exif.tobytes())
            else:
                img.save(out, "PNG", exif=exif.tobytes())
    elif cmd == "profiled":
        mode, profile, out = args[1], args[2], args[3]
        img = pattern(mode, 64, 48)
        extra = {}
        if profile != "-":
            with open(profile, "rb") as f:
                extra["icc_profile"] = f.read()
        if out.lower().endswith(".png"):
            img.save(out, "PNG", **extra)
        elif out.lower().endswith((".tif", ".tiff")):
            img.save(out, "TIFF", **extra)
        else:
            img.save(out, "JPEG", quality=95, **extra)
    elif cmd == "damaged":
        header = bytearray(b"\0" * 128)
        header[0:4] = (400).to_bytes(4, "big")  # claims 400 bytes, has 200
        header[12:16] = b"mntr"
        header[16:20] = b"RGB "
        header[20:24] = b"XYZ "
        header[36:40] = b"acsp"
        pattern("RGB").save(args[1], "JPEG", quality=95, icc_profile=bytes(header) + b"\x55" * 72)
    elif cmd == "upright":
        write_pam(ImageOps.exif_transpose(Image.open(args[1])), args[2])
    elif cmd == "pattern":
        img = pattern("RGB")
        img.getexif()[0x0112] = int(args[1])
        write_pam(ImageOps.exif_transpose(img), args[2])
    elif cmd == "to-srgb":
        img = Image.open(args[1])
        source = ImageCms.ImageCmsProfile(ImageCms.core.profile_frombytes(img.info["icc_profile"]))
        srgb = ImageCms.createProfile("sRGB")
        out = ImageCms.profileToProfile(img, source, srgb, renderingIntent=0, outputMode="RGB")
        write_pam(out, args[2])
    elif cmd == "profile-of":
        img = Image.open(args[1])
        with open(args[2], "wb") as f:
            f.write(img.info.get("icc_profile") or b"")
    else:
        raise SystemExit("unknown command " + cmd)


if __name__ == "__main__":
    main(sys.argv[1:])
