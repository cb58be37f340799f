# The suite's sources, one list for every side that builds it (tests/conformance and, in the
# browser build, tests/web), so a case added here runs everywhere.
set(kvarlo_conformance_sources
  boxes_test.cpp drawing_test.cpp files_test.cpp keyboard_test.cpp messages_test.cpp
  resources_test.cpp sounds_test.cpp windows_test.cpp)
