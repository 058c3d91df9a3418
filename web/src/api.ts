// The editor's side of the messages `vellum serve` answers (POST /api, one JSON object each).

export type Json = null | boolean | number | string | Json[] | { [key: string]: Json };

export interface PortInfo {
  key: string;
  direction: 'input' | 'output';
  portClass: string;
  default?: Json;
  min?: number;
  max?: number;
  choices?: string[];
  value?: Json;
  connected?: string;
}

export interface NodeInfo {
  id: string;
  class: string;
  className: string;
  displayName: string;
  description: string;
  ports: PortInfo[];
  position?: [number, number];
}

export interface CatalogueEntry {
  class: string;
  displayName: string;
  description?: string;
  ports: PortInfo[] | null;
}

export interface Document {
  patches: Record<string, { class: string; inputs?: Record<string, Json>; state?: Json }>;
  connections: [string, string][];
  outputs: Record<string, string>;
  editor?: { positions?: Record<string, [number, number]> };
}

export interface Reply {
  ok: boolean;
  error?: string;
  patch?: string;
  port?: string;
  busy?: boolean;
  values?: Record<string, Record<string, Json>>;
  executed?: string[];
  errors?: Record<string, string[]>;
  log?: string[];
  nodes?: NodeInfo[];
  node?: NodeInfo;
  removed?: string;
  document?: Document;
  catalogue?: CatalogueEntry[];
  inputs?: Record<string, Record<string, Json>>;
  file?: string;
  files?: string[];
  time?: number;
  playing?: boolean;
  canUndo?: boolean;
  canRedo?: boolean;
}

// Messages go one at a time, so that replies are applied in the order the server made them: a
// large reply (the whole graph) could otherwise arrive after a later small one and undo what it
// said. A message that waits too long for the one before (a patch that never returns) goes
// anyway, and the server answers it "busy".
let previous: Promise<unknown> = Promise.resolve();
const longestWait = 6000;

export function send(message: { kind: string; [key: string]: unknown }): Promise<Reply> {
  const before = previous;
  const turn = new Promise<void>((go) => {
    const timer = setTimeout(go, longestWait);
    before.then(() => { clearTimeout(timer); go(); });
  });
  const reply = turn.then(() => post(message));
  previous = reply;
  return reply;
}

async function post(message: { kind: string; [key: string]: unknown }): Promise<Reply> {
  try {
    const response = await fetch('/api', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(message),
    });
    if (!response.ok) return { ok: false, error: `the server answered ${response.status} ${await response.text()}` };
    return (await response.json()) as Reply;
  } catch (e) {
    return { ok: false, error: `the server cannot be reached (${String(e)}); is vellum serve still running?` };
  }
}

// The port's kind, for the handle's colour and the editor of its value.
export function portKind(portClass: string): string {
  return portClass.replace(/Port$/, '').replace(/^V2DBezierPath$/, 'Path');
}
