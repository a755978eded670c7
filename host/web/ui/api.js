// The server's API: commands (the same command lines as the CLI) and the
// state events. The session token travels in a cookie the server set when the
// printed address was opened; the page never sees it.

export async function run(args) {
  let response;
  try {
    response = await fetch('/api/command', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ args }),
      credentials: 'same-origin',
    });
  } catch (e) {
    return { http: 0, status: 1, output: '', error: 'the server does not answer' };
  }
  let body;
  try {
    body = await response.json();
  } catch (e) {
    body = { status: 1, output: '', error: 'HTTP ' + response.status };
  }
  return { http: response.status, status: body.status ?? 1, output: body.output ?? '', error: body.error ?? '' };
}

// Calls onState with each state document; onConnection with 'live',
// 'reconnecting', 'disconnected' or 'refused' as the stream opens or drops
// (EventSource reconnects by itself).
export function subscribe(onState, onConnection) {
  const source = new EventSource('/api/events');
  source.addEventListener('state', (e) => {
    try {
      onState(JSON.parse(e.data));
    } catch (err) {
      console.error('bad state event', err);
    }
  });
  source.onopen = () => onConnection('live');
  source.onerror = async () => {
    if (source.readyState !== EventSource.CLOSED) return onConnection('reconnecting');
    // Closed for good: the token is missing or wrong, or the server is gone.
    let reason = 'disconnected';
    try {
      const r = await fetch('/api/state', { credentials: 'same-origin' });
      if (r.status === 403) reason = 'refused';
    } catch (e) { /* the server is gone */ }
    onConnection(reason);
    // Refused, it still tries now and then: the address opened in another
    // tab sets the cookie this tab sends too.
    setTimeout(() => subscribe(onState, onConnection), reason === 'refused' ? 5000 : 2000);
  };
  return source;
}
