# Compile and link options of the browser build (emscripten). Included by the top-level
# CMakeLists.txt when EMSCRIPTEN is set.
add_compile_options(-pthread)
# Growing a shared memory costs the JavaScript side a check on each access; the work here is in
# the wasm, so the warning about it is left out.
add_link_options(-pthread -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=4GB -Wno-pthreads-mem-growth)

# The programs and tests that run under node (kvarlo-cli, the test suites): main() on a thread of
# its own, so that the browser's main thread stays free to start the workers that std::thread
# needs; the host's file system as it is; exit() ends node with the program's status.
set(KVARLO_WEB_NODE_LINK_OPTIONS -sPROXY_TO_PTHREAD=1 -sEXIT_RUNTIME=1 -sNODERAWFS=1)

# Marks an executable as one that runs under node rather than in the page.
function(kvarlo_web_node_program target)
  target_link_options(${target} PRIVATE ${KVARLO_WEB_NODE_LINK_OPTIONS})
endfunction()

# The Russian texts as Windows-1251 bytes, as gcc's -fexec-charset makes them.
include(KvarloCp1251)
