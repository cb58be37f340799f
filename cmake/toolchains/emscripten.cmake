# The browser build with Debian's emscripten (em++: clang and libc++). The programs and the tests
# run under node; emcc itself runs node scripts that need Debian's acorn, from /usr/share/nodejs.

# The runtime emscripten 3.1.6 writes fetches its .wasm when the engine has fetch(); node has it
# now but cannot fetch a file path, so under node the wasm is read from disk instead. Set before
# emscripten's own file, which would otherwise choose plain node.
set(CMAKE_CROSSCOMPILING_EMULATOR "/usr/bin/node;--no-experimental-fetch" CACHE STRING
    "Runs the built programs and tests")

include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# Debian's node modules for the JavaScript passes that emcc runs when it links.
set(KVARLO_NODE_PATH "/usr/share/nodejs" CACHE PATH "Where emcc's JavaScript passes find acorn")
set(CMAKE_CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;NODE_PATH=${KVARLO_NODE_PATH}")
