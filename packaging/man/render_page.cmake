# cmake -DIN=page.1.in -DOUT=page.1 -DVERSION=... -P render_page.cmake
configure_file(${IN} ${OUT} @ONLY)
