# The window's pictures (resources/pictures/<name>.png) and the colour each
# shows as transparent, - for none: the instrument is drawn on white, the
# pressed caps on red. The window and the page take them from here.
set(ORB_PICTURE_NAMES device button1 button2 button3 button4 icon_overview icon_about icon_exit logo)
set(ORB_PICTURE_KEYS FFFFFF FF0000 FF0000 FF0000 FF0000 - - - -)
