# The Windows cross build needs a few programs that run on the build machine: the converter of
# the panel images into the bitmaps the DLL carries as resources, and (for the tests) a native
# build of the effect whose output the Windows build must reproduce. They come from this very
# source tree, configured a second time with the build machine's compilers (KALVO_HOST_TOOLS=ON)
# in <build>/host-tools.
#
# Defines the imported executables kalvo_host_png2bmp and kalvo_host_parity_reference.
include(ExternalProject)

set(KALVO_HOST_TOOLS_DIR ${PROJECT_BINARY_DIR}/host-tools)
set(KALVO_HOST_PNG2BMP ${KALVO_HOST_TOOLS_DIR}/tools/png2bmp/kalvo-png2bmp)
set(KALVO_HOST_PARITY_REFERENCE ${KALVO_HOST_TOOLS_DIR}/tests/windows/kalvo-parity-reference)

set(kalvo_host_args
  -DKALVO_HOST_TOOLS=ON
  -DCMAKE_BUILD_TYPE=Release
  -DKALVO_RULES=${KALVO_RULES}
  -DCMAKE_C_COMPILER=gcc
  -DCMAKE_CXX_COMPILER=g++
  -DKALVO_WERROR=${KALVO_WERROR})
if(CMAKE_CXX_COMPILER_LAUNCHER)
  list(APPEND kalvo_host_args
    -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}
    -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
endif()

ExternalProject_Add(kalvo_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${KALVO_HOST_TOOLS_DIR}
  CMAKE_ARGS ${kalvo_host_args}
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${KALVO_HOST_PNG2BMP} ${KALVO_HOST_PARITY_REFERENCE}
  INSTALL_COMMAND ""
  STEP_TARGETS build)

add_executable(kalvo_host_png2bmp IMPORTED GLOBAL)
set_target_properties(kalvo_host_png2bmp PROPERTIES IMPORTED_LOCATION ${KALVO_HOST_PNG2BMP})
add_dependencies(kalvo_host_png2bmp kalvo_host_tools)

add_executable(kalvo_host_parity_reference IMPORTED GLOBAL)
set_target_properties(kalvo_host_parity_reference PROPERTIES IMPORTED_LOCATION ${KALVO_HOST_PARITY_REFERENCE})
add_dependencies(kalvo_host_parity_reference kalvo_host_tools)
