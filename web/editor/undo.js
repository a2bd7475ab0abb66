// The undo and redo stacks of edit steps. A step is {edits, inverse}: the
// edits that made it and the edits that take it back, both sent to the
// player like any edit. A step the player refused is discarded, wherever it
// is. No DOM.

export const DEFAULT_UNDO_LIMIT = 500;

export class UndoStack {
  constructor(limit = DEFAULT_UNDO_LIMIT) {
    this.limit = limit;
    this.done = [];
    this.undone = [];
  }

  // A new step: the redo stack no longer applies.
  push(step) {
    this.done.push(step);
    if (this.done.length > this.limit) this.done.splice(0, this.done.length - this.limit);
    this.undone.length = 0;
  }

  canUndo() {
    return this.done.length > 0;
  }

  canRedo() {
    return this.undone.length > 0;
  }

  // The step to take back (its inverse is to be sent), moved to redo.
  undo() {
    const step = this.done.pop();
    if (step) this.undone.push(step);
    return step || null;
  }

  // The step to make again (its edits are to be sent), moved back to undo.
  redo() {
    const step = this.undone.pop();
    if (step) this.done.push(step);
    return step || null;
  }

  // Forgets a step, e.g. one whose request was refused.
  discard(step) {
    for (const stack of [this.done, this.undone]) {
      const at = stack.lastIndexOf(step);
      if (at >= 0) stack.splice(at, 1);
    }
  }

  clear() {
    this.done.length = 0;
    this.undone.length = 0;
  }
}
