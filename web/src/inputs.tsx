// In-place editors for input values, one per port kind. Numbers drag (on the field, sideways)
// and type, clamped to the port's limits before they are sent; the server clamps again and
// answers the value the port holds.
import { useEffect, useRef, useState } from 'react';
import type { Json, PortInfo } from './api';

type Props = { port: PortInfo; id: string; files: string[]; onSet: (id: string, key: string, value: Json, merge?: boolean) => void };

const clamp = (v: number, p: PortInfo) => Math.min(p.max ?? Infinity, Math.max(p.min ?? -Infinity, v));

// The text of a field that follows the port's value, except while it is being typed in: a reply
// that arrives then (to an earlier edit) must not replace what the user is typing.
function useDraft(value: string) {
  const [text, setText] = useState(value);
  const typing = useRef(false);
  useEffect(() => { if (!typing.current) setText(value); }, [value]);
  return {
    text,
    type: (t: string) => { typing.current = true; setText(t); },
    done: (t: string = value) => { typing.current = false; setText(t); },
  };
}

export function InputEditor(props: Props) {
  const { port } = props;
  switch (port.portClass) {
    case 'NumberPort': return <NumberInput {...props} integer={false} />;
    case 'IndexPort': return port.choices ? <ChoiceInput {...props} /> : <NumberInput {...props} integer={true} />;
    case 'BooleanPort':
      return <input type="checkbox" className="nodrag" checked={port.value === true} onChange={(e) => props.onSet(props.id, port.key, e.target.checked)} />;
    case 'StringPort': return port.key.endsWith('File') ? <FileInput {...props} /> : <TextInput {...props} />;
    case 'ColorPort': return <ColorInput {...props} />;
    case 'StructurePort': return <StructureInput {...props} />;
    case 'ImagePort': return <ImageFileInput {...props} />;
    default: return <span className="port-kind">{port.portClass.replace(/Port$/, '')}</span>;
  }
}

function NumberInput({ port, id, onSet, integer }: Props & { integer: boolean }) {
  const value = typeof port.value === 'number' ? port.value : Number(port.value ?? 0);
  const { text, type, done } = useDraft(String(value));
  const drag = useRef<{ x: number; start: number; moved: boolean; sent: boolean } | null>(null);
  const last = useRef(value);
  const commit = (v: number, merge = false) => {
    if (!Number.isFinite(v)) { done(); return; }
    let c = clamp(v, port);
    if (integer) c = Math.max(0, Math.round(c));
    done(String(c));
    if (c !== last.current) onSet(id, port.key, c, merge);
    last.current = c;
  };
  useEffect(() => { last.current = value; }, [value]);
  const step = integer ? 1 : Math.max(Math.abs(value) / 100, 0.01);
  return (
    <input className="nodrag num" type="text" inputMode="decimal" value={text} data-input={port.key}
      title={`drag sideways or type${port.min !== undefined ? `; min ${port.min}` : ''}${port.max !== undefined ? `; max ${port.max}` : ''}`}
      onChange={(e) => type(e.target.value)}
      onKeyDown={(e) => { if (e.key === 'Enter') commit(Number(e.currentTarget.value)); if (e.key === 'Escape') done(); }}
      onBlur={(e) => { if (Number(e.currentTarget.value) !== value) commit(Number(e.currentTarget.value)); else done(); }}
      onPointerDown={(e) => { drag.current = { x: e.clientX, start: value, moved: false, sent: false }; }}
      onPointerMove={(e) => {
        const d = drag.current;
        if (!d || !(e.buttons & 1)) return;
        const dx = e.clientX - d.x;
        if (!d.moved && Math.abs(dx) < 4) return;
        if (!d.moved) (e.target as Element).setPointerCapture(e.pointerId);
        d.moved = true;
        // The first value of a drag is an undo step; the rest join it.
        commit(d.start + Math.round(dx) * step, d.sent);
        d.sent = true;
      }}
      onPointerUp={() => { drag.current = null; }} />
  );
}

function ChoiceInput({ port, id, onSet }: Props) {
  return (
    <select className="nodrag" value={Number(port.value ?? 0)} onChange={(e) => onSet(id, port.key, Number(e.target.value))}>
      {port.choices!.map((c, i) => <option key={i} value={i}>{i}: {c}</option>)}
    </select>
  );
}

function TextInput({ port, id, onSet }: Props) {
  const value = typeof port.value === 'string' ? port.value : '';
  const { text, type, done } = useDraft(value);
  const commit = (t: string) => { if (t !== value) onSet(id, port.key, t); done(t); };
  return (
    <input className="nodrag text" type="text" value={text} data-input={port.key}
      onChange={(e) => type(e.target.value)}
      onKeyDown={(e) => { if (e.key === 'Enter') commit(e.currentTarget.value); if (e.key === 'Escape') done(); }}
      onBlur={(e) => commit(e.currentTarget.value)} />
  );
}

function FileInput({ port, id, onSet, files }: Props) {
  const value = typeof port.value === 'string' ? port.value : '';
  return (
    <select className="nodrag" value={value} onChange={(e) => onSet(id, port.key, e.target.value)} data-input={port.key}>
      <option value="">(none)</option>
      {!files.includes(value) && value && <option value={value}>{value}</option>}
      {files.filter((f) => !f.endsWith('.json')).map((f) => <option key={f} value={f}>{f}</option>)}
    </select>
  );
}

function ColorInput({ port, id, onSet }: Props) {
  const c = (port.value && typeof port.value === 'object' && !Array.isArray(port.value) && Array.isArray(port.value.$color)
    ? port.value.$color.map(Number) : [0, 0, 0, 1]) as number[];
  const hex = '#' + c.slice(0, 3).map((v) => Math.round(Math.min(1, Math.max(0, v)) * 255).toString(16).padStart(2, '0')).join('');
  const set = (rgb: number[], a: number) => onSet(id, port.key, { $color: [...rgb, a] });
  return (
    <span className="colour nodrag">
      <input type="color" value={hex} onChange={(e) => {
        const h = e.target.value;
        set([1, 3, 5].map((i) => parseInt(h.slice(i, i + 2), 16) / 255), c[3] ?? 1);
      }} />
      <input type="range" min={0} max={1} step={0.01} value={c[3] ?? 1} title={`alpha ${c[3]}`}
        onChange={(e) => set(c.slice(0, 3), Number(e.target.value))} />
    </span>
  );
}

function StructureInput({ port, id, onSet }: Props) {
  const value = JSON.stringify(port.value ?? null);
  const { text, type, done } = useDraft(value);
  const [bad, setBad] = useState('');
  const commit = () => {
    try { onSet(id, port.key, JSON.parse(text)); setBad(''); done(text); }
    catch (e) { setBad(String(e)); }
  };
  return (
    <span className="structure nodrag">
      <textarea rows={2} value={text} onChange={(e) => type(e.target.value)} title="JSON; Ctrl+Enter applies"
        onKeyDown={(e) => { if (e.key === 'Enter' && (e.ctrlKey || e.metaKey)) commit(); }} onBlur={() => { if (text !== value) commit(); }} />
      {bad && <span className="bad">{bad}</span>}
    </span>
  );
}

// An image input takes a PNG file of the folder: {"$image": NAME}.
function ImageFileInput({ port, id, onSet, files }: Props) {
  const held = port.value && typeof port.value === 'object' && !Array.isArray(port.value) ? port.value.$image : null;
  const value = typeof held === 'string' ? held : '';
  return (
    <select className="nodrag" value={value} onChange={(e) => onSet(id, port.key, e.target.value ? { $image: e.target.value } : null)} data-input={port.key}>
      <option value="">{held && typeof held === 'object' ? '(an image)' : '(none)'}</option>
      {files.filter((f) => f.toLowerCase().endsWith('.png')).map((f) => <option key={f} value={f}>{f}</option>)}
    </select>
  );
}
