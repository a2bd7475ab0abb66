// The keyboard on the timeline: a key event ({key, shiftKey, ctrlKey,
// metaKey}) to a command [name, argument], or null for keys the page
// leaves to the browser. While taps are recorded (record on, the show
// playing), Enter and the digits tap. The help panel and the README list
// the same keys. No DOM.

// A digit's tap value: 1 to 9 are 0.1 to 0.9, 0 is 1.0.
function tapValue(digit) {
  return digit === 0 ? 1 : digit / 10;
}

export function commandFor(e, { taps = false } = {}) {
  const key = e.key;
  if (taps && !e.ctrlKey && !e.metaKey && !e.altKey) {
    if (key === 'Enter') return ['tap', null];
    if (/^[0-9]$/.test(key)) return ['tap', tapValue(Number(key))];
  }
  if (e.ctrlKey || e.metaKey) {
    switch (key.toLowerCase()) {
      case 'z':
        return e.shiftKey ? ['redo'] : ['undo'];
      case 'y':
        return ['redo'];
      case 'c':
        return ['copy'];
      case 'v':
        return ['paste'];
      default:
        return null;
    }
  }
  switch (key) {
    case ' ':
      return ['togglePlay'];
    case 'ArrowLeft':
    case 'ArrowRight':
      return ['stepRow', { steps: key === 'ArrowLeft' ? -1 : 1, byUnit: e.shiftKey }];
    case 'ArrowUp':
      return ['selectLane', -1];
    case 'ArrowDown':
      return ['selectLane', 1];
    case 'Home':
      return ['seekStart'];
    case 'End':
      return ['seekEnd'];
    case 'Enter':
      return ['keyAtPlayhead'];
    case 'Delete':
    case 'Backspace':
      return ['deleteSelected'];
    case '1':
    case '2':
    case '3':
    case '4':
      return ['setKind', Number(key) - 1];
    case 'l':
    case 'L':
      return e.shiftKey ? ['clearLoop'] : ['loop'];
    case 'Escape':
      return ['selectNothing'];
    case 'r':
    case 'R':
      return ['toggleRecord'];
    case 's':
    case 'S':
      return ['cycleSnap'];
    case 'g':
    case 'G':
      return ['toggleGrid'];
    default:
      return null;
  }
}
