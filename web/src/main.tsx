// The node editor `vellum serve` serves: React Flow draws the graph; every change is a message
// to the server, which evaluates the composition and answers what changed.
import { createContext, useCallback, useContext, useEffect, useMemo, useRef, useState } from 'react';
import { createRoot } from 'react-dom/client';
import {
  ReactFlow, ReactFlowProvider, Background, Controls, Handle, Position, useReactFlow,
  applyNodeChanges, type Node, type Edge, type NodeChange, type Connection, type NodeProps,
} from '@xyflow/react';
import { send, portKind, type Reply, type NodeInfo, type CatalogueEntry, type Document, type Json, type PortInfo } from './api';
import { Preview } from './previews';
import { stats } from './stats';
import { InputEditor } from './inputs';

interface Shared {
  values: Record<string, Record<string, Json>>;
  errors: Record<string, string[]>;
  published: Record<string, string>; // "id.port" -> output name
  files: string[];
  setInput: (id: string, key: string, value: Json, merge?: boolean) => void;
  togglePublish: (id: string, port: PortInfo) => void;
}
const SharedContext = createContext<Shared | null>(null);

type PatchData = { info: NodeInfo };

function PatchNode({ data, selected }: NodeProps<Node<PatchData>>) {
  const shared = useContext(SharedContext)!;
  const { info } = data;
  const errors = shared.errors[info.id] ?? [];
  const outputs = shared.values[info.id] ?? {};
  const [shown, setShown] = useState<Record<string, boolean>>({});
  return (
    <div className={`patch${selected ? ' selected' : ''}${errors.length ? ' failed' : ''}`} data-patch={info.id} title={info.description}>
      <div className="patch-title">
        <span className="patch-name">{info.displayName}</span>
        <span className="patch-id">{info.id}</span>
      </div>
      {errors.length > 0 && <div className="patch-errors" data-errors>{errors.map((e, i) => <div key={i}>{e}</div>)}</div>}
      {info.ports.filter((p) => p.direction === 'input').map((p) => (
        <div className="port input" key={p.key} data-port={p.key}>
          <Handle type="target" position={Position.Left} id={p.key} className={`kind-${portKind(p.portClass)}`} />
          <span className="port-key" title={`${p.key}: ${p.portClass}${p.default !== undefined ? `, default ${JSON.stringify(p.default)}` : ''}${p.min !== undefined ? `, min ${p.min}` : ''}${p.max !== undefined ? `, max ${p.max}` : ''}`}>{p.key.replace(/^input/, '')}</span>
          {p.connected ? <span className="port-connected">{p.connected}</span> : <InputEditor port={p} id={info.id} files={shared.files} onSet={shared.setInput} />}
        </div>
      ))}
      {info.ports.filter((p) => p.direction === 'output').map((p) => {
        const published = shared.published[`${info.id}.${p.key}`];
        const open = shown[p.key] ?? true;
        return (
          <div className="port output" key={p.key} data-port={p.key}>
            <div className="port-row">
              <button className="small nodrag" title="show or hide the preview" onClick={() => setShown({ ...shown, [p.key]: !open })}>{open ? '▾' : '▸'}</button>
              <span className="port-key">{p.key.replace(/^output/, '')}</span>
              <button className={`small nodrag publish${published ? ' on' : ''}`} title={published ? `published as "${published}" (click to unpublish)` : 'publish this output (vellum run writes it)'} onClick={() => shared.togglePublish(info.id, p)}>{published ?? 'publish'}</button>
              <Handle type="source" position={Position.Right} id={p.key} className={`kind-${portKind(p.portClass)}`} />
            </div>
            {open && <div className="preview nodrag">{p.key in outputs ? <Preview value={outputs[p.key]} /> : <div className="pv-none">not evaluated</div>}</div>}
          </div>
        );
      })}
    </div>
  );
}
const nodeTypes = { patch: PatchNode };

// Columns by depth from the sources, for compositions saved without positions.
function autoLayout(infos: NodeInfo[], doc: Document, known: Record<string, [number, number]>): Record<string, [number, number]> {
  const depth: Record<string, number> = {};
  const upstream: Record<string, string[]> = {};
  for (const [from, to] of doc.connections) {
    const f = from.slice(0, from.lastIndexOf('.')), t = to.slice(0, to.lastIndexOf('.'));
    (upstream[t] ??= []).push(f);
  }
  const visit = (id: string, seen: Set<string>): number => {
    if (id in depth) return depth[id];
    if (seen.has(id)) return 0;
    seen.add(id);
    const d = Math.max(-1, ...(upstream[id] ?? []).map((u) => visit(u, seen))) + 1;
    return (depth[id] = d);
  };
  // Stacked by their likely height: a title (long names take two lines), a row per input, a
  // preview per output, and a gap.
  const bottoms: Record<number, number> = {};
  const out: Record<string, [number, number]> = {};
  for (const n of infos) {
    if (known[n.id]) { out[n.id] = known[n.id]; continue; }
    const d = visit(n.id, new Set());
    const y = bottoms[d] ?? 40;
    const inputs = n.ports.filter((p) => p.direction === 'input').length;
    bottoms[d] = y + 56 + inputs * 23 + (n.ports.length - inputs) * 215 + 56;
    out[n.id] = [40 + d * 360, y];
  }
  return out;
}

// A class's ports as the catalogue gives them, for the palette's tooltip.
function portsText(c: CatalogueEntry): string {
  if (!c.ports) return 'the class made no patch to list ports from';
  return c.ports.map((p) => {
    const extra = [
      p.default !== undefined && p.direction === 'input' ? `default ${JSON.stringify(p.default)}` : '',
      p.min !== undefined ? `min ${p.min}` : '', p.max !== undefined ? `max ${p.max}` : '',
      p.choices ? p.choices.map((n, i) => `${i} = ${n}`).join(', ') : '',
    ].filter(Boolean).join(', ');
    return `${p.direction} ${p.key}: ${p.portClass}${extra ? ` (${extra})` : ''}`;
  }).join('\n');
}

function Editor() {
  const flow = useReactFlow();
  const [catalogue, setCatalogue] = useState<CatalogueEntry[]>([]);
  const [infos, setInfos] = useState<Record<string, NodeInfo>>({});
  const [doc, setDoc] = useState<Document>({ patches: {}, connections: [], outputs: {} });
  const [values, setValues] = useState<Record<string, Record<string, Json>>>({});
  const [errors, setErrors] = useState<Record<string, string[]>>({});
  const [nodes, setNodes] = useState<Node<PatchData>[]>([]);
  const [file, setFile] = useState('');
  const [files, setFiles] = useState<string[]>([]);
  const [message, setMessage] = useState<{ text: string; bad: boolean } | null>(null);
  const [search, setSearch] = useState('');
  const [time, setTime] = useState(0);
  const [playing, setPlaying] = useState(false);
  const [fps, setFps] = useState(0);
  const [undoState, setUndoState] = useState({ canUndo: false, canRedo: false });
  const [dirty, setDirty] = useState(false);
  const positions = useRef<Record<string, [number, number]>>({});
  const [selectedEdges, setSelectedEdges] = useState<Set<string>>(new Set());
  const pendingSelection = useRef<Set<string>>(new Set());

  const say = (text: string, bad = false) => setMessage({ text, bad });

  // Applies what a reply says changed.
  const apply = useCallback((r: Reply, edit = true): boolean => {
    if (r.canUndo !== undefined) setUndoState({ canUndo: !!r.canUndo, canRedo: !!r.canRedo });
    if (r.values) setValues((v) => ({ ...v, ...r.values }));
    if (r.errors) setErrors((e) => ({ ...e, ...r.errors }));
    if (r.time !== undefined) setTime(r.time);
    if (!r.ok) {
      if (r.busy) return false;
      say(r.error ?? 'refused', true);
      if (r.patch) setErrors((e) => ({ ...e, [r.patch!]: [...(e[r.patch!] ?? []).filter((l) => !l.startsWith('refused: ')), `refused: ${r.error}`] }));
      return false;
    }
    if (edit) setDirty(true);
    if (r.file) setFile(r.file);
    if (r.nodes && r.document) {
      // A whole new state (opened, undone): everything is replaced.
      const saved = r.document.editor?.positions ?? {};
      const infoMap: Record<string, NodeInfo> = {};
      for (const n of r.nodes) infoMap[n.id] = n;
      positions.current = autoLayout(r.nodes, r.document, saved);
      setInfos(infoMap);
      setValues(r.values ?? {});
      // Patches that did not run again keep what they last said.
      setErrors((e) => {
        const kept: Record<string, string[]> = {};
        for (const id of Object.keys(infoMap)) if (e[id]) kept[id] = e[id];
        return { ...kept, ...r.errors };
      });
    }
    if (r.document) setDoc(r.document);
    if (r.node) setInfos((m) => ({ ...m, [r.node!.id]: r.node! }));
    if (r.removed) setInfos((m) => { const c = { ...m }; delete c[r.removed!]; return c; });
    if (r.inputs)
      setInfos((m) => {
        const c = { ...m };
        for (const [id, ports] of Object.entries(r.inputs!))
          if (c[id]) c[id] = { ...c[id], ports: c[id].ports.map((p) => (p.key in ports ? { ...p, value: ports[p.key] } : p)) };
        return c;
      });
    return true;
  }, []);

  // Connections and input values come from the document and the node infos; both are
  // refreshed by asking for everything after a structural change.
  const refresh = useCallback(async () => {
    const r = await send({ kind: 'hello' });
    apply(r, false);
    if (r.catalogue) setCatalogue(r.catalogue);
  }, [apply]);

  useEffect(() => { refresh().then(() => setDirty(false)); }, [refresh]);
  useEffect(() => { send({ kind: 'files' }).then((r) => r.files && setFiles(r.files)); }, [file]);

  useEffect(() => {
    setNodes((old) => {
      // Copies just made are selected instead of their originals, so that they can be moved away.
      const selected = pendingSelection.current.size ? pendingSelection.current : new Set(old.filter((n) => n.selected).map((n) => n.id));
      if (pendingSelection.current.size && pendingSelection.current.size === [...pendingSelection.current].filter((id) => infos[id]).length)
        pendingSelection.current = new Set();
      return Object.values(infos).map((info) => {
        const p = positions.current[info.id] ?? info.position ?? [40, 40];
        positions.current[info.id] = p;
        return { id: info.id, type: 'patch', position: { x: p[0], y: p[1] }, data: { info }, selected: selected.has(info.id), dragHandle: '.patch-title' };
      });
    });
  }, [infos]);

  const edges: Edge[] = useMemo(() => doc.connections.map(([from, to]) => {
    const f = from.lastIndexOf('.'), t = to.lastIndexOf('.');
    const id = `${from}->${to}`;
    return { id, source: from.slice(0, f), sourceHandle: from.slice(f + 1), target: to.slice(0, t), targetHandle: to.slice(t + 1), selected: selectedEdges.has(id) };
  }), [doc, selectedEdges]);

  const published = useMemo(() => {
    const m: Record<string, string> = {};
    for (const [name, port] of Object.entries(doc.outputs)) m[port] = name;
    return m;
  }, [doc]);

  // Structural edits answer with the changed values; the graph itself is re-read.
  const structural = useCallback(async (message: { kind: string; [k: string]: unknown }) => {
    const r = await send(message);
    if (apply(r)) {
      const all = await send({ kind: 'hello' });
      apply(all, false);
      setMessage(null);
    }
    return r;
  }, [apply]);

  const setInput = useCallback(async (id: string, key: string, value: Json, merge = false) => {
    stats.started();
    const r = await send(merge ? { kind: 'set', port: `${id}.${key}`, value, merge } : { kind: 'set', port: `${id}.${key}`, value });
    if (apply(r)) {
      setErrors((e) => ({ ...e, [id]: (e[id] ?? []).filter((l) => !l.startsWith('refused: ')) }));
      setDoc((d) => ({ ...d, patches: { ...d.patches, [id]: { ...d.patches[id], inputs: { ...(d.patches[id]?.inputs ?? {}), [key]: value } } } }));
    }
  }, [apply]);

  const togglePublish = useCallback((id: string, port: PortInfo) => {
    const current = published[`${id}.${port.key}`];
    if (current) { structural({ kind: 'unpublish', name: current }); return; }
    const ext = port.portClass === 'ImagePort' ? '.png' : port.portClass === 'V2DBezierPathPort' ? '.svg' : port.portClass === 'StructurePort' ? '.json' : '';
    const name = window.prompt('Publish as (the extension picks the file vellum run writes: .png, .svg, .obj, .ply, .gltf, .glb, .json)', `${id}${ext}`);
    if (name) structural({ kind: 'publish', name, port: `${id}.${port.key}` });
  }, [published, structural]);

  const addPatch = useCallback((entry: CatalogueEntry, at?: { x: number; y: number }) => {
    // Without a drop point, to the right of what is there, so that nothing is hidden.
    const placed = Object.values(positions.current);
    const p = at ?? (placed.length
      ? { x: Math.max(...placed.map((q) => q[0])) + 340, y: Math.min(...placed.map((q) => q[1])) }
      : flow.screenToFlowPosition({ x: window.innerWidth / 3, y: window.innerHeight / 4 }));
    structural({ kind: 'add', class: entry.displayName, position: [Math.round(p.x), Math.round(p.y)] }).then((r) => {
      if (r.node) positions.current[r.node.id] = [Math.round(p.x), Math.round(p.y)];
      if (!at) setTimeout(() => flow.fitView({ duration: 0 }), 50);
    });
  }, [flow, structural]);

  const selectedIds = () => nodes.filter((n) => n.selected).map((n) => n.id);
  const removeSelected = async () => {
    for (const e of edges.filter((e) => e.selected)) await structural({ kind: 'disconnect', to: `${e.target}.${e.targetHandle}` });
    setSelectedEdges(new Set());
    for (const id of selectedIds()) await structural({ kind: 'remove', id });
  };
  const duplicateSelected = async () => {
    const copies = new Set<string>();
    for (const id of selectedIds()) {
      const p = positions.current[id] ?? [0, 0];
      const r = await send({ kind: 'duplicate', id, position: [p[0] + 40, p[1] + 40] });
      if (apply(r) && r.node) { positions.current[r.node.id] = [p[0] + 40, p[1] + 40]; copies.add(r.node.id); }
    }
    pendingSelection.current = copies;
    apply(await send({ kind: 'hello' }), false);
  };
  const undo = () => structural({ kind: 'undo' });
  const redo = () => structural({ kind: 'redo' });
  const save = async (as?: string) => {
    // Positions laid out here are kept with the file too.
    for (const [id, p] of Object.entries(positions.current)) if (infos[id]) await send({ kind: 'move', id, position: p });
    const r = await send(as ? { kind: 'save', file: as } : { kind: 'save' });
    if (apply(r, false)) { setDirty(false); say(`saved ${r.file}`); }
  };
  const open = async (name: string) => {
    if (dirty && !window.confirm('The composition has changes that are not saved; open another anyway?')) return;
    const r = await send({ kind: 'open', file: name });
    if (apply(r, false)) { setDirty(false); say(`opened ${name}`); }
  };

  // Playback: one evaluation per display frame, never more than one in flight.
  const playState = useRef({ on: false, start: 0, from: 0, frames: 0, since: 0 });
  const goTo = useCallback(async (t: number) => { apply(await send({ kind: 'time', time: t }), false); }, [apply]);
  const play = async () => {
    if (playState.current.on) return;
    await send({ kind: 'play' });
    playState.current = { on: true, start: performance.now(), from: time, frames: 0, since: performance.now() };
    setPlaying(true);
    const step = async () => {
      const s = playState.current;
      if (!s.on) return;
      const t = s.from + (performance.now() - s.start) / 1000;
      apply(await send({ kind: 'time', time: t }), false);
      s.frames++;
      stats.framesDone++;
      const now = performance.now();
      if (now - s.since >= 1000) { setFps(Math.round((s.frames * 1000) / (now - s.since))); s.frames = 0; s.since = now; }
      requestAnimationFrame(step);
    };
    requestAnimationFrame(step);
  };
  const pause = async () => { playState.current.on = false; setPlaying(false); await send({ kind: 'pause' }); };

  useEffect(() => {
    const onKey = (e: KeyboardEvent) => {
      const typing = e.target instanceof HTMLInputElement || e.target instanceof HTMLTextAreaElement || e.target instanceof HTMLSelectElement;
      const mod = e.ctrlKey || e.metaKey;
      if (mod && e.key.toLowerCase() === 's') { e.preventDefault(); save(); return; }
      if (typing) return;
      if (mod && e.key.toLowerCase() === 'z') { e.preventDefault(); if (e.shiftKey) redo(); else undo(); }
      else if (mod && e.key.toLowerCase() === 'y') { e.preventDefault(); redo(); }
      else if (mod && e.key.toLowerCase() === 'd') { e.preventDefault(); duplicateSelected(); }
      else if (e.key === 'Delete' || e.key === 'Backspace') { e.preventDefault(); removeSelected(); }
      else if (e.key === ' ') { e.preventDefault(); if (playState.current.on) pause(); else play(); }
    };
    window.addEventListener('keydown', onKey);
    return () => window.removeEventListener('keydown', onKey);
  });
  useEffect(() => {
    const warn = (e: BeforeUnloadEvent) => { if (dirty) { e.preventDefault(); } };
    window.addEventListener('beforeunload', warn);
    return () => window.removeEventListener('beforeunload', warn);
  }, [dirty]);

  const onNodesChange = useCallback((changes: NodeChange<Node<PatchData>>[]) => {
    setNodes((ns) => applyNodeChanges(changes.filter((c) => c.type !== 'remove'), ns));
    for (const c of changes)
      if (c.type === 'position' && c.position) {
        positions.current[c.id] = [Math.round(c.position.x), Math.round(c.position.y)];
        if (!c.dragging) { send({ kind: 'move', id: c.id, position: positions.current[c.id] }); setDirty(true); }
      }
  }, []);

  const onConnect = useCallback((c: Connection) => {
    structural({ kind: 'connect', from: `${c.source}.${c.sourceHandle}`, to: `${c.target}.${c.targetHandle}` });
  }, [structural]);

  const onEdgesDelete = useCallback((gone: Edge[]) => {
    for (const e of gone) structural({ kind: 'disconnect', to: `${e.target}.${e.targetHandle}` });
  }, [structural]);

  const shown = catalogue.filter((c) => {
    const q = search.toLowerCase();
    return !q || c.displayName.toLowerCase().includes(q) || c.class.toLowerCase().includes(q) || (c.description ?? '').toLowerCase().includes(q);
  });
  const shared: Shared = { values, errors, published, files, setInput, togglePublish };

  return (
    <SharedContext.Provider value={shared}>
      <div className="app">
        <header>
          <strong>Vellum</strong>
          <span className="file" data-file>{file}{dirty ? ' •' : ''}</span>
          <button onClick={() => save()} title="Ctrl+S">Save</button>
          <button onClick={() => { const n = window.prompt('Save as (a .json file in the composition\'s folder)', file); if (n) save(n); }}>Save as…</button>
          <select value="" onChange={(e) => e.target.value && open(e.target.value)} title="open a composition of this folder">
            <option value="">Open…</option>
            {files.filter((f) => f.endsWith('.json')).map((f) => <option key={f} value={f}>{f}</option>)}
          </select>
          <button onClick={undo} disabled={!undoState.canUndo} title="Ctrl+Z">Undo</button>
          <button onClick={redo} disabled={!undoState.canRedo} title="Ctrl+Shift+Z">Redo</button>
          <button onClick={duplicateSelected} title="Ctrl+D">Duplicate</button>
          <button onClick={removeSelected} title="Delete">Delete</button>
          {message && <span className={`message${message.bad ? ' bad' : ''}`} data-status onClick={() => setMessage(null)}>{message.text}</span>}
        </header>
        <aside className="palette">
          <input type="search" placeholder="Search patches" value={search} onChange={(e) => setSearch(e.target.value)} data-palette-search />
          <ul>
            {shown.map((c) => (
              <li key={c.class} data-class={c.class} draggable title={portsText(c)}
                onDragStart={(e) => e.dataTransfer.setData('application/x-vellum-class', c.class)}
                onDoubleClick={() => addPatch(c)}>
                <div className="pal-name">{c.displayName}</div>
                <div className="pal-class">{c.class}</div>
                {c.description && <div className="pal-desc">{c.description}</div>}
                <button className="small" onClick={() => addPatch(c)} data-add>add</button>
              </li>
            ))}
          </ul>
        </aside>
        <main
          onDragOver={(e) => e.preventDefault()}
          onDrop={(e) => {
            const cls = e.dataTransfer.getData('application/x-vellum-class');
            const entry = catalogue.find((c) => c.class === cls);
            if (entry) addPatch(entry, flow.screenToFlowPosition({ x: e.clientX, y: e.clientY }));
          }}>
          <ReactFlow nodes={nodes} edges={edges} nodeTypes={nodeTypes}
            onNodesChange={onNodesChange} onConnect={onConnect} onEdgesDelete={onEdgesDelete}
            onEdgesChange={(changes) => setSelectedEdges((old) => {
              const next = new Set(old);
              for (const c of changes) if (c.type === 'select') { if (c.selected) next.add(c.id); else next.delete(c.id); }
              return next;
            })}
            onEdgeDoubleClick={(_, e) => structural({ kind: 'disconnect', to: `${e.target}.${e.targetHandle}` })}
            deleteKeyCode={null} minZoom={0.1} fitView>
            <Background />
            <Controls />
          </ReactFlow>
        </main>
        <footer className="timebar">
          <button data-play onClick={() => (playing ? pause() : play())} title="Space">{playing ? 'Pause' : 'Play'}</button>
          <input type="range" min={0} max={10} step={1 / 60} value={Math.min(10, time)}
            onChange={(e) => { if (playState.current.on) pause(); goTo(Number(e.target.value)); }} data-scrub />
          <span className="time" data-time>{time.toFixed(3)} s</span>
          <span className="fps">{playing ? `${fps} fps` : ''}</span>
          <span className="hint">double-click or drag a patch from the list; drag from an output to an input to connect; select and press Delete to remove</span>
        </footer>
      </div>
    </SharedContext.Provider>
  );
}

createRoot(document.getElementById('root')!).render(
  <ReactFlowProvider><Editor /></ReactFlowProvider>,
);
