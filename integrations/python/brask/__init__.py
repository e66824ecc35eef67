# SPDX-License-Identifier: MIT
"""G00 and PDT pictures in Pillow, decoded by the brask C API.

    import brask
    from PIL import Image
    picture = Image.open("sprite.g00")      # RGBA, RGB or P, as stored
    for frame in range(picture.n_frames):  # a type-2 G00: the composed picture, then its parts
        picture.seek(frame)

Importing the package registers both formats with Pillow. `brask.Picture` is the C API
itself, for the indexes, palettes and parts without Pillow.
"""

from ._library import BraskError, Picture, version

try:  # written by the build into installed copies and the wheel
    from ._version import __version__
except ImportError:  # run from the source tree
    __version__ = None
from ._pillow_plugin import G00ImageFile, PdtImageFile, register

register()

__all__ = ["BraskError", "G00ImageFile", "PdtImageFile", "Picture", "version"]
