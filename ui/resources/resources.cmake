# The driver's resources: tarn2.rc compiled by the resource compiler
# (windres, from the MinGW binutils) into one .res file, the same bytes for
# every build; a fault in the script stops the build with windres's file
# and line. Windows links the .res into the module as its resource section;
# elsewhere it is embedded into the driver as an array, which the POSIX
# layer reads as Windows reads a module's resources.
set(TARN2_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR})
if(CMAKE_RC_COMPILER)
  set(TARN2_WINDRES ${CMAKE_RC_COMPILER})
else()
  find_program(TARN2_WINDRES NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres)
endif()
if(NOT TARN2_WINDRES)
  message(FATAL_ERROR "windres not found: tools/setup.sh installs binutils-mingw-w64-i686 and its preprocessor")
endif()

# A rule that compiles the script RC into the resource file RES; ARGN are
# the headers the script includes.
function(tarn2_compile_resources rc res)
  get_filename_component(name ${rc} NAME)
  get_filename_component(dir ${rc} DIRECTORY)
  add_custom_command(OUTPUT ${res}
    COMMAND ${TARN2_WINDRES} -I ${dir} -O res -i ${rc} -o ${res}
    DEPENDS ${rc} ${ARGN}
    COMMENT "Compiling ${name} with windres"
    VERBATIM)
endfunction()

# A rule that writes SOURCE, a C++ file holding the resource file RES as the
# array SYMBOL (and SYMBOL_size); with REGISTER on, the array becomes the
# resources of the module it is linked into.
function(tarn2_embed_resources res source symbol register)
  get_filename_component(name ${res} NAME)
  add_custom_command(OUTPUT ${source}
    COMMAND ${CMAKE_COMMAND} -DRES=${res} -DOUTPUT=${source} -DSYMBOL=${symbol} -DREGISTER=${register}
            -P ${TARN2_RESOURCES_DIR}/embed.cmake
    DEPENDS ${res} ${TARN2_RESOURCES_DIR}/embed.cmake
    COMMENT "Embedding ${name}"
    VERBATIM)
endfunction()

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)
set(TARN2_RES ${CMAKE_BINARY_DIR}/generated/tarn2.res)
tarn2_compile_resources(${TARN2_RESOURCES_DIR}/tarn2.rc ${TARN2_RES} ${TARN2_RESOURCES_DIR}/resource.h)
if(WIN32)
  set(TARN2_RES_OBJECT ${CMAKE_BINARY_DIR}/generated/tarn2_res.obj)
  add_custom_command(OUTPUT ${TARN2_RES_OBJECT}
    COMMAND ${TARN2_WINDRES} -O coff -i ${TARN2_RES} -o ${TARN2_RES_OBJECT}
    DEPENDS ${TARN2_RES}
    COMMENT "Making the resource section from tarn2.res"
    VERBATIM)
  target_sources(mbktarn2u PRIVATE ${TARN2_RES_OBJECT})
else()
  set(TARN2_RES_SOURCE ${CMAKE_BINARY_DIR}/generated/tarn2_resources.cpp)
  tarn2_embed_resources(${TARN2_RES} ${TARN2_RES_SOURCE} tarn2_resources ON)
  target_sources(tarn2driver PRIVATE ${TARN2_RES_SOURCE})
  # Nothing calls into the generated file; this keeps the linker from
  # leaving it out of programs linked with the driver archive.
  target_link_options(tarn2driver INTERFACE "-Wl,--undefined=tarn2_embedded_resources")
endif()
