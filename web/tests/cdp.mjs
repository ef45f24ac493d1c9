// A small client of the Chrome DevTools Protocol over Chromium's debugging pipe (no browser is
// downloaded, no package installed): starts Debian's chromium headless with a scratch profile,
// opens a page, evaluates scripts in it, collects its console, takes screenshots. For the web
// player's browser tests.
import {spawn} from 'node:child_process';
import {mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';

export class Browser {
  static async launch({executable = '/usr/bin/chromium', width = 1000, height = 760} = {}) {
    const profile = mkdtempSync(join(tmpdir(), 'orgsynth-chromium-'));
    const args = [
      '--headless=new',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      '--disable-default-apps',
      '--mute-audio',
      '--autoplay-policy=no-user-gesture-required',
      `--window-size=${width},${height}`,
      `--user-data-dir=${profile}`,
      '--remote-debugging-pipe',
      'about:blank',
    ];
    const child = spawn(
        executable, args, {stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true});
    const browser = new Browser(child, profile);
    await browser.#attach();
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    this.console = [];
    this.errors = [];
    let buffered = '';
    child.stdio[4].on('data', (chunk) => {
      buffered += chunk.toString('utf8');
      let end;
      while ((end = buffered.indexOf('\0')) >= 0) {
        const message = JSON.parse(buffered.slice(0, end));
        buffered = buffered.slice(end + 1);
        this.#receive(message);
      }
    });
    child.stderr.on('data', () => {});
  }

  #receive(message) {
    if (message.id && this.pending.has(message.id)) {
      const {resolve, reject} = this.pending.get(message.id);
      this.pending.delete(message.id);
      if (message.error)
        reject(new Error(message.error.message));
      else
        resolve(message.result);
      return;
    }
    if (message.method === 'Runtime.consoleAPICalled') {
      const text = message.params.args.map((a) => a.value ?? a.description ?? '').join(' ');
      this.console.push({type: message.params.type, text});
    }
    if (message.method === 'Runtime.exceptionThrown')
      this.errors.push(
          message.params.exceptionDetails.exception?.description ??
          message.params.exceptionDetails.text);
    if (message.method === 'Log.entryAdded' && message.params.entry.level === 'error')
      this.errors.push(message.params.entry.text);
    for (const listener of this.listeners) listener(message);
  }

  send(method, params = {}, sessionId = this.session) {
    const id = this.nextId++;
    const message = {id, method, params};
    if (sessionId) message.sessionId = sessionId;
    this.child.stdio[3].write(JSON.stringify(message) + '\0');
    return new Promise((resolve, reject) => this.pending.set(id, {resolve, reject}));
  }

  async #attach() {
    const {targetInfos} = await this.send('Target.getTargets', {}, null);
    const page = targetInfos.find((t) => t.type === 'page');
    const {sessionId} =
        await this.send('Target.attachToTarget', {targetId: page.targetId, flatten: true}, null);
    this.session = sessionId;
    await this.send('Runtime.enable');
    await this.send('Page.enable');
    await this.send('Log.enable');
  }

  // Loads `url` and waits for its load event.
  async goto(url) {
    const loaded = new Promise((resolve) => {
      const listener = (message) => {
        if (message.method === 'Page.loadEventFired') {
          this.listeners = this.listeners.filter((l) => l !== listener);
          resolve();
        }
      };
      this.listeners.push(listener);
    });
    await this.send('Page.navigate', {url});
    await loaded;
  }

  // Evaluates an expression in the page (awaiting a promise) and gives its value.
  async evaluate(expression) {
    const result =
        await this.send('Runtime.evaluate', {expression, awaitPromise: true, returnByValue: true});
    if (result.exceptionDetails)
      throw new Error(
          result.exceptionDetails.exception?.description ?? result.exceptionDetails.text);
    return result.result.value;
  }

  // Gives the page's file input these files, as a user choosing them would.
  async chooseFiles(selector, files) {
    const {root} = await this.send('DOM.getDocument');
    const {nodeId} = await this.send('DOM.querySelector', {nodeId: root.nodeId, selector});
    await this.send('DOM.setFileInputFiles', {nodeId, files});
  }

  async key(key, code = key) {
    for (const type of ['keyDown', 'keyUp'])
      await this.send('Input.dispatchKeyEvent', {type, key, code, windowsVirtualKeyCode: 0});
  }

  async screenshot() {
    const {data} = await this.send('Page.captureScreenshot', {format: 'png'});
    return Buffer.from(data, 'base64');
  }

  // Closes the browser and every process it started, then removes its profile.
  async close() {
    const exited = new Promise((resolve) => {
      if (this.child.exitCode !== null || this.child.signalCode !== null)
        resolve();
      else
        this.child.once('exit', resolve);
    });
    const wait = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
    await Promise.race([this.send('Browser.close', {}, null).catch(() => {}), wait(3000)]);
    await Promise.race([exited, wait(5000)]);
    try {
      process.kill(-this.child.pid, 'SIGKILL');  // the whole group: renderers, GPU, zygote
    } catch {
      // it has gone already
    }
    await exited;
    rmSync(this.profile, {recursive: true, force: true, maxRetries: 10, retryDelay: 100});
  }
}
