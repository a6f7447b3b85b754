# The painters, read back from real windows.
tovik_add_gtest(skin_paint_tests
  SOURCES PaintTest.cpp SkinGallery.cpp ParkedPointer.cpp
  LIBS skin LOCK pointer)
