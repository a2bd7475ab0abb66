// The keyboard on the timeline: a key event ({key, shiftKey, ctrlKey,
// metaKey}) to a command [name, argument], or null for keys the page
// leaves to the browser. The help panel and the README list the same keys.
// No DOM.

export function commandFor(e) {
  const key = e.key;
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
      return ['stepRow', { steps: key === 'ArrowLeft' ? -1 : 1, byBar: e.shiftKey }];
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
    default:
      return null;
  }
}
