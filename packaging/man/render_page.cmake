# cmake -DIN=page.1.in -DOUT=page.1 -DVERSION=... -DPRIVATE_DIR=... -P render_page.cmake
configure_file(${IN} ${OUT} @ONLY)
