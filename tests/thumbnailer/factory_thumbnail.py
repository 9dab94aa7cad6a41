# Asks GNOME's thumbnail factory (the real client of .thumbnailer files) for
# a thumbnail: python3 factory_thumbnail.py MOVIE MIME-TYPE OUTPUT.png
# The factory runs the thumbnailer inside its bubblewrap sandbox.
import sys

import gi

gi.require_version("GnomeDesktop", "3.0")
from gi.repository import GnomeDesktop, Gio  # noqa: E402

movie, mime, out = sys.argv[1:4]
factory = GnomeDesktop.DesktopThumbnailFactory.new(GnomeDesktop.DesktopThumbnailSize.LARGE)
picture = factory.generate_thumbnail(Gio.File.new_for_path(movie).get_uri(), mime, None)
picture.savev(out, "png", [], [])
print(picture.get_width(), picture.get_height())
