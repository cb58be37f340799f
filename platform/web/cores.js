// The processors the program may fill with threads in the page: all the device reports but one,
// which stays with the browser's main thread (input, drawing the frames) and the program's own
// thread, so that a search on every other core leaves a key or a click answered at once. The
// engine asks for this count (std::thread::hardware_concurrency) when it chooses its threads.
mergeInto(LibraryManager.library, {
  emscripten_num_logical_cores: function() {
    return Math.max(1, (navigator["hardwareConcurrency"] || 1) - 1);
  },
});
