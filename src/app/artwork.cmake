# The window's artwork: the JPEG pictures decoded with the Windows Imaging Component, the image
# lists made from them, and the resource script that puts them and the icon into Sorvane.exe
# (drawn by tools/artwork/make-artwork.sh).
if(WIN32)
  add_library(sv_app_art STATIC artwork.cpp)
  sv_target_defaults(sv_app_art)
  target_link_libraries(sv_app_art PUBLIC sv_platform_win32 windowscodecs ole32 gdi32 comctl32
                                          user32)
  # Cached so that the tests, in another folder, can embed the same pictures.
  set(SV_ARTWORK_RC ${CMAKE_CURRENT_SOURCE_DIR}/res/artwork.rc CACHE INTERNAL
      "Resource script of the window's pictures and icon")
  # The resource compiler does not report the files it embeds; a redrawn picture must still
  # rebuild the program that holds it.
  file(GLOB sv_artwork_files ${CMAKE_CURRENT_SOURCE_DIR}/res/*.jpg
                            ${CMAKE_CURRENT_SOURCE_DIR}/res/*.ico)
  set_source_files_properties(${SV_ARTWORK_RC} PROPERTIES OBJECT_DEPENDS "${sv_artwork_files}")
endif()
