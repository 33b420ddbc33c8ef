# talvex_program(NAME ...): one Windows program of the product, made from
# its folder's sources. Every program gets a manifest and a version resource
# filled from the product version, the static runtime and the shared header
# folder; the options add the rest.
#
#   talvex_program(TalTray
#     DESCRIPTION "Talvex Updater notification icon"   # version resource and manifest
#     LEVEL asInvoker | requireAdministrator           # requested execution level
#     [FILENAME setup.exe]                             # the file's name, when it is not NAME.exe
#     [WINDOWS]        # a GUI program (no console); services and helpers too
#     [COMCTL6]        # binds version 6 of the common controls
#     [DPI_AWARE]      # lays itself out by its monitor's dots per inch (per-monitor aware)
#     [TALLIB]         # links TalLib.dll
#     [NO_EXCEPTIONS]  # throws and catches nothing: built without the C++
#                      # exception runtime and its unwind tables
#     SOURCES ...      # sources and the program's own .rc
#     LIBS ...)        # further libraries
set(TALVEX_PROGRAM_TEMPLATES ${CMAKE_CURRENT_LIST_DIR}/program)
# The product's modules throw through helpers of their own (lean_throw.cpp).
set(TALVEX_LEAN_THROW ${CMAKE_CURRENT_LIST_DIR}/lean_throw.cpp)

# talvex_link_map(target): the linker writes a map of what went into the
# module, maps/<target>.map in the build folder, which
# tools/binary-weight.sh reads to show where a binary's bytes come from.
function(talvex_link_map target)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/maps)
  target_link_options(${target} PRIVATE "LINKER:-Map=${CMAKE_BINARY_DIR}/maps/${target}.map")
endfunction()

string(REPLACE "." "," TALVEX_VERSION_COMMAS "${TALVEX_VERSION},0")
set(TALVEX_VERSION_FOUR "${TALVEX_VERSION}.0")

function(talvex_program name)
  cmake_parse_arguments(TP "WINDOWS;COMCTL6;DPI_AWARE;TALLIB;NO_EXCEPTIONS" "DESCRIPTION;LEVEL;FILENAME" "SOURCES;LIBS" ${ARGN})
  if(NOT TP_LEVEL)
    set(TP_LEVEL asInvoker)
  endif()
  set(TP_NAME ${name})
  if(NOT TP_FILENAME)
    set(TP_FILENAME ${name}.exe)
  endif()
  set(TP_FILETYPE VFT_APP)
  set(TP_DEPENDENCY "")
  set(TP_DPI "")
  if(TP_COMCTL6)
    file(READ ${TALVEX_PROGRAM_TEMPLATES}/comctl6.xml.in TP_DEPENDENCY)
  endif()
  if(TP_DPI_AWARE)
    file(READ ${TALVEX_PROGRAM_TEMPLATES}/dpi.xml.in TP_DPI)
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${name}_program)
  set(TP_MANIFEST_FILE ${out}/${name}.manifest)
  configure_file(${TALVEX_PROGRAM_TEMPLATES}/program.manifest.in ${TP_MANIFEST_FILE} @ONLY)
  set(TP_MANIFEST_LINE "CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST \"${TP_MANIFEST_FILE}\"")
  configure_file(${TALVEX_PROGRAM_TEMPLATES}/program.rc.in ${out}/${name}_version.rc @ONLY)

  if(TP_WINDOWS)
    add_executable(${name} WIN32 ${TP_SOURCES} ${out}/${name}_version.rc)
  else()
    add_executable(${name} ${TP_SOURCES} ${out}/${name}_version.rc)
  endif()
  get_filename_component(file_stem ${TP_FILENAME} NAME_WE)
  set_target_properties(${name} PROPERTIES OUTPUT_NAME ${file_stem})
  set_source_files_properties(${out}/${name}_version.rc PROPERTIES OBJECT_DEPENDS ${TP_MANIFEST_FILE})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE talvex_common ${TP_LIBS})
  if(TP_TALLIB)
    target_link_libraries(${name} PRIVATE TalLib)
  endif()
  if(TP_COMCTL6)
    target_link_libraries(${name} PRIVATE comctl32)
  endif()
  if(TP_NO_EXCEPTIONS)
    # Nothing throws, so the runtime that carries an exception through the
    # stack (unwinder, personality, their thread support) stays out.
    target_compile_options(${name} PRIVATE -fno-exceptions -fno-asynchronous-unwind-tables)
  elseif(TALVEX_LEAN)
    target_sources(${name} PRIVATE ${TALVEX_LEAN_THROW})
  endif()
  talvex_link_map(${name})
  # Every program of the product ships signed (cmake/TalvexSigning.cmake).
  talvex_sign(${name})
endfunction()

# talvex_library_version(target DESCRIPTION): the version resource of a DLL.
function(talvex_library_version target description)
  set(TP_NAME ${target})
  set(TP_FILENAME ${target}.dll)
  set(TP_FILETYPE VFT_DLL)
  set(TP_DESCRIPTION ${description})
  set(TP_MANIFEST_LINE "")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${TALVEX_PROGRAM_TEMPLATES}/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
