// Milliseconds from starting a player to the end of its first frame (the
// log's "Profiler::Reset"), watched from one process that only reads the log
// every few milliseconds: a shell loop starting grep and sleep hundreds of
// times a second would take CPU from the player it measures.
//
// usage: node bench/first_frame.mjs PLAYER [PATIENCE_SECONDS]
// Runs PLAYER in the current folder with no sound device; prints the time,
// or a reason on stderr and exits 1 when the player ends or shows no first
// frame in time. The player is stopped either way.
import { spawn } from 'node:child_process';
import { openSync, readFileSync, rmSync } from 'node:fs';

const [player, patienceArgument] = process.argv.slice(2);
if (!player) {
  console.error('usage: node bench/first_frame.mjs PLAYER [PATIENCE_SECONDS]');
  process.exit(2);
}
const patienceMs = Number(patienceArgument ?? 60) * 1000;
const log = 'output2.txt';
rmSync(log, { force: true });

const console_ = openSync('console.txt', 'w');
const started = process.hrtime.bigint();
const child = spawn(player, [], {
  env: { ...process.env, SDL_AUDIODRIVER: 'dummy' },
  stdio: ['ignore', console_, console_],
});
const elapsedMs = () => Number(process.hrtime.bigint() - started) / 1e6;

let ended = false;
child.on('exit', () => { ended = true; });

function finish(code, message) {
  clearInterval(timer);
  if (!ended) child.kill('SIGKILL');
  if (code === 0) console.log(message);
  else console.error(message);
  process.exitCode = code;
}

function lastLines() {
  try {
    return readFileSync('console.txt', 'utf8').trim().split('\n').slice(-3).join('\n');
  } catch {
    return '';
  }
}

const timer = setInterval(() => {
  let text = '';
  try {
    text = readFileSync(log, 'latin1');
  } catch {
    // Not created yet.
  }
  if (text.includes('Profiler::Reset')) finish(0, String(Math.round(elapsedMs())));
  else if (ended) finish(1, `${player} ended before its first frame: ${lastLines()}`);
  else if (elapsedMs() > patienceMs) finish(1, `${player} showed no first frame within ${patienceMs / 1000} s`);
}, 3);
