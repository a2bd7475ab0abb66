// The player as a script, for the session's tests: `answers` are taken in
// order, then every edit or shift is taken with the next version; state()
// gives `json` as it is when the read is answered, or what onRead() gives.
export function scriptedLink(json) {
  const next = () => link.answers.shift() || { status: 200, body: { version: ++link.version } };
  const link = {
    json,
    version: json.version,
    posts: [],
    reads: 0,
    answers: [],
    async edit(edits) {
      link.posts.push(edits);
      return next();
    },
    async shift(shift) {
      link.posts.push({ shift });
      return next();
    },
    async state() {
      link.reads += 1;
      const read = link.onRead ? await link.onRead() : link.json;
      return structuredClone(read);
    },
  };
  return link;
}

// Lets the promises queued so far settle.
export const turns = async (n = 10) => {
  for (let i = 0; i < n; ++i) await new Promise((resolve) => setImmediate(resolve));
};
