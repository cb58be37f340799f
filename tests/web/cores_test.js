// The page's count of processors for the program's threads (platform/web/cores.js): one fewer
// than the device reports, so that the browser's main thread keeps one, and never none.
// Usage: node cores_test.js platform/web/cores.js
"use strict";
const assert = require("assert");
const fs = require("fs");
const vm = require("vm");

const source = fs.readFileSync(process.argv[2], "utf8");

function coresSeen(hardwareConcurrency) {
  const library = {};
  vm.runInNewContext(source, {
    LibraryManager: { library },
    mergeInto: (target, added) => Object.assign(target, added),
    navigator: { hardwareConcurrency },
  });
  return library.emscripten_num_logical_cores();
}

for (const [device, program] of [[8, 7], [4, 3], [2, 1], [1, 1], [undefined, 1], [0, 1]]) {
  assert.strictEqual(coresSeen(device), program, `a device of ${device} processors`);
}
console.log("cores: ok");
