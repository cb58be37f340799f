# The program's narrow strings are Windows-1251. gcc stores them so with -fexec-charset=CP1251;
# clang cannot, so for clang every source and header of the program's folders is compiled from a
# copy whose literals tools/cp1251-literals has rewritten into escapes (a file without Cyrillic
# is copied as it is). Every file, not only those that hold Cyrillic today: a literal added to a
# file that had none is converted by the next build, with no new configure step to notice it.
# The copies live in the build tree only (cp1251/, mirroring the source tree), are made again
# when their original changes (a copy whose text stays the same is not touched, so nothing
# recompiles for it), and carry a #line naming the original.
#
# kvarlo_cp1251_literals() runs once all targets exist: it lists the files, adds the conversion
# steps, and swaps each source into its targets. The converted headers shadow the originals
# through an include directory that comes before the source tree's.

set(KVARLO_CP1251_DIR "${CMAKE_BINARY_DIR}/cp1251")
set(KVARLO_CP1251_TOOL "${CMAKE_CURRENT_LIST_DIR}/../tools/cp1251-literals")
get_filename_component(KVARLO_CP1251_TOOL "${KVARLO_CP1251_TOOL}" ABSOLUTE)
include_directories(BEFORE "${KVARLO_CP1251_DIR}")

function(_kvarlo_cp1251_targets directory out)
  get_property(targets DIRECTORY "${directory}" PROPERTY BUILDSYSTEM_TARGETS)
  get_property(children DIRECTORY "${directory}" PROPERTY SUBDIRECTORIES)
  foreach(child IN LISTS children)
    _kvarlo_cp1251_targets("${child}" child_targets)
    list(APPEND targets ${child_targets})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Every source and header of the given folders (a file added later is found by the next build).
function(_kvarlo_cp1251_files folders out)
  set(patterns)
  foreach(folder IN LISTS folders)
    list(APPEND patterns "${PROJECT_SOURCE_DIR}/${folder}/*.cpp" "${PROJECT_SOURCE_DIR}/${folder}/*.h")
  endforeach()
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${patterns})
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(kvarlo_cp1251_literals)
  set(folders board game view documents solver platform shell cli tools tests)
  _kvarlo_cp1251_files("${folders}" program_files)
  _kvarlo_cp1251_targets("${PROJECT_SOURCE_DIR}" targets)
  list(FILTER targets EXCLUDE REGEX "^gtest")

  # Every header (it may be included from anywhere), and the sources that some target of this
  # build compiles.
  set(needed ${program_files})
  list(FILTER needed INCLUDE REGEX "\\.h$")
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "UTILITY" OR type STREQUAL "INTERFACE_LIBRARY")
      continue()
    endif()
    _kvarlo_cp1251_swap_sources(${target} "${program_files}" swapped)
    list(APPEND needed ${swapped})
    add_dependencies(${target} kvarlo-cp1251-literals)
  endforeach()
  list(REMOVE_DUPLICATES needed)

  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(converted)
  foreach(original IN LISTS needed)
    file(RELATIVE_PATH relative "${PROJECT_SOURCE_DIR}" "${original}")
    list(APPEND converted "${KVARLO_CP1251_DIR}/${relative}")
  endforeach()
  # One step for every file, in one process: a file per step started the interpreter some 170
  # times on a clean build (about 2 minutes of processor time here), one takes about a second.
  # A change to any file runs it over all of them, which costs that second again and touches
  # only the copies whose text changed.
  add_custom_command(
    OUTPUT ${converted}
    COMMAND "${Python3_EXECUTABLE}" "${KVARLO_CP1251_TOOL}" --tree "${PROJECT_SOURCE_DIR}"
            "${KVARLO_CP1251_DIR}" ${needed}
    DEPENDS ${needed} "${KVARLO_CP1251_TOOL}"
    COMMENT "Windows-1251 literals of the program's sources"
    VERBATIM)
  # Every copy exists before anything compiles: the headers are found through the include
  # path, not through a target's sources.
  add_custom_target(kvarlo-cp1251-literals DEPENDS ${converted})
endfunction()

# Compiles the converted copy in place of each source of the target from the program's folders.
# The copy includes its neighbours ("local.h") from the original's folder.
function(_kvarlo_cp1251_swap_sources target program_files out)
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  set(swapped)
  set(originals)
  foreach(source IN LISTS sources)
    get_filename_component(absolute "${source}" ABSOLUTE BASE_DIR "${source_dir}")
    if(absolute IN_LIST program_files)
      file(RELATIVE_PATH relative "${PROJECT_SOURCE_DIR}" "${absolute}")
      set(copy "${KVARLO_CP1251_DIR}/${relative}")
      get_filename_component(original_dir "${absolute}" DIRECTORY)
      set_source_files_properties("${copy}" DIRECTORY "${source_dir}"
        PROPERTIES GENERATED TRUE INCLUDE_DIRECTORIES "${original_dir}")
      list(APPEND swapped "${copy}")
      list(APPEND originals "${absolute}")
    else()
      list(APPEND swapped "${source}")
    endif()
  endforeach()
  if(originals)
    set_property(TARGET ${target} PROPERTY SOURCES ${swapped})
  endif()
  set(${out} ${originals} PARENT_SCOPE)
endfunction()
