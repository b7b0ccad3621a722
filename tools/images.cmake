# The generator of the tile-set and palette images in data/image. The images
# are committed; `cmake --build <dir> --target images` makes them again from
# the console font that Debian's console-setup-linux ships.
find_package(ZLIB REQUIRED)
add_executable(make_images ${CMAKE_CURRENT_LIST_DIR}/make_images.cpp)
target_link_libraries(make_images host_window ZLIB::ZLIB)

set(IMAGE_FONT /usr/share/consolefonts/Uni2-VGA8.psf.gz CACHE FILEPATH "Console font the glyph pictures come from")
add_custom_target(images
  COMMAND make_images ${IMAGE_FONT} ${CMAKE_CURRENT_LIST_DIR}/../data/image
  COMMENT "Drawing data/image/curses_fg.png, curses_bg.png and palette.png")
