# kalvo_embed_images(<target> <folder>)
#
# Compiles the PNG files named bmpNNNNN.png in <folder> into <target>, so that CBitmap(NNNNN)
# finds them by number without any file at run time; bmpNNNNN@2x.png and bmpNNNNN@3x.png, the
# same image with two and three times the pixels, go in under NNNNN + 2000 and NNNNN + 3000 for a
# zoomed panel. Call it on the final binary (the plug-in
# module or an executable): the generated table replaces the toolkit's empty default only when
# its object is linked directly.
set(KALVO_EMBED_IMAGES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/KalvoEmbedImagesGenerate.cmake)

function(kalvo_embed_images target folder)
  get_filename_component(folder "${folder}" ABSOLUTE)
  file(GLOB images CONFIGURE_DEPENDS "${folder}/bmp*.png")
  list(SORT images)
  set(output "${CMAKE_CURRENT_BINARY_DIR}/${target}_embedded_images.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} "-DOUTPUT=${output}" "-DIMAGES=${images}" -P "${KALVO_EMBED_IMAGES_SCRIPT}"
    DEPENDS ${images} "${KALVO_EMBED_IMAGES_SCRIPT}"
    COMMENT "Embedding ${target}'s images from ${folder}"
    VERBATIM)
  target_sources(${target} PRIVATE "${output}")
endfunction()
