// The page as the playback benchmark needs it under node: nothing drawn, nothing shown;
// the figures are printed when the program ends.
globalThis.cptocPage = {
  setMode() {}, write() {}, showEntry() {}, dropConsoleKeys() {}, present() {}, text() {},
  nextConsoleKey() { return new Promise(() => {}); },
  nextWindowKey() { return new Promise(() => {}); },
  restartAsked() { return new Promise(() => {}); },
};
process.on('exit', () => console.log(JSON.stringify(globalThis.cptocBench)));
