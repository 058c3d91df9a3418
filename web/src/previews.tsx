// Previews of output values, by their JSON form: images as pictures, paths as SVG (pan and
// zoom), meshes in a 3D view (orbit, shaded by normals), structures as a tree, plain values.
import { memo, useEffect, useMemo, useRef, useState } from 'react';
import * as THREE from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';
import type { Json } from './api';
import { stats } from './stats';

type Obj = { [key: string]: Json };
const isObj = (v: Json): v is Obj => typeof v === 'object' && v !== null && !Array.isArray(v);

// Values keep their identity until the server sends a new one, so a preview redraws only then.
export const Preview = memo(function Preview({ value }: { value: Json }) {
  if (value === null || value === undefined) return <div className="pv-none">nothing</div>;
  if (isObj(value)) {
    if (isObj(value.$image)) return <ImagePreview image={value.$image} />;
    if (isObj(value.$mesh)) return <MeshPreview mesh={value.$mesh} lines={false} />;
    if (isObj(value.$lines)) return <MeshPreview mesh={value.$lines} lines={true} />;
    if (Array.isArray(value.$path)) return <PathPreview paths={[value]} />;
    if (typeof value.$omitted === 'string') return <div className="pv-none">{value.$omitted}</div>;
    if (Array.isArray(value.$color))
      return <div className="pv-plain"><span className="pv-swatch" style={{ background: colour(value, 'transparent') }} /> {JSON.stringify(value.$color)}</div>;
  }
  if (typeof value === 'object') return <StructurePreview value={value} />;
  return <div className="pv-plain">{String(value)}</div>;
});

function StructurePreview({ value }: { value: Json }) {
  const paths = useMemo(() => pathsOf(value), [value]);
  return <>{paths.length > 0 && <PathPreview paths={paths} />}<TreePreview value={value} name="structure" /></>;
}

function ImagePreview({ image }: { image: Obj }) {
  const canvas = useRef<HTMLCanvasElement>(null);
  const width = Number(image.width), height = Number(image.height);
  useEffect(() => {
    const c = canvas.current;
    if (!c || typeof image.rgba !== 'string' || width <= 0 || height <= 0) return;
    const text = atob(image.rgba);
    const bytes = new Uint8ClampedArray(text.length);
    for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
    c.width = width;
    c.height = height;
    c.getContext('2d')!.putImageData(new ImageData(bytes, width, height), 0, 0);
    stats.drawn();
  }, [image]);
  if (image.omitted) return <div className="pv-none">image {width} x {height}, too large to show</div>;
  if (width <= 0 || height <= 0) return <div className="pv-none">an empty image</div>;
  return (
    <div className="pv-image">
      <canvas ref={canvas} data-preview="image" title={`${width} x ${height}`} />
      <div className="pv-caption">{width} x {height}</div>
    </div>
  );
}

// Every {"$path": ...} inside a value, with its entry's paint when it is a drawing entry.
function pathsOf(value: Json, depth = 0, out: Obj[] = []): Obj[] {
  if (depth > 6 || out.length > 2000) return out;
  if (Array.isArray(value)) for (const v of value) pathsOf(v, depth + 1, out);
  else if (isObj(value)) {
    if (Array.isArray(value.$path)) out.push(value);
    else if (isObj(value.path) && Array.isArray(value.path.$path)) out.push({ ...value.path, entry: value });
    else for (const v of Object.values(value)) pathsOf(v, depth + 1, out);
  }
  return out;
}

function pathData(path: Obj): { d: string; box: [number, number, number, number] | null } {
  let d = '';
  let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
  const see = (x: number, y: number) => {
    x0 = Math.min(x0, x); y0 = Math.min(y0, y); x1 = Math.max(x1, x); y1 = Math.max(y1, y);
  };
  for (const e of path.$path as Json[]) {
    if (!Array.isArray(e)) continue;
    const n = e.slice(1).map(Number);
    if (e[0] === 'moveto') { d += `M${n[0]} ${n[1]}`; see(n[0], n[1]); }
    else if (e[0] === 'lineto') { d += `L${n[0]} ${n[1]}`; see(n[0], n[1]); }
    else if (e[0] === 'curveto') { d += `C${n[2]} ${n[3]} ${n[4]} ${n[5]} ${n[0]} ${n[1]}`; see(n[0], n[1]); see(n[2], n[3]); see(n[4], n[5]); }
    else if (e[0] === 'close') d += 'Z';
  }
  return { d, box: x0 <= x1 ? [x0, y0, x1, y1] : null };
}

function colour(c: Json, fallback: string): string {
  if (isObj(c) && Array.isArray(c.$color)) {
    const [r, g, b, a] = c.$color.map(Number);
    return `rgba(${Math.round(r * 255)},${Math.round(g * 255)},${Math.round(b * 255)},${a ?? 1})`;
  }
  return fallback;
}

function PathPreview({ paths }: { paths: Obj[] }) {
  const drawn = useMemo(() => paths.map((p) => ({ ...pathData(p), p })), [paths]);
  const box = useMemo(() => {
    let b: [number, number, number, number] | null = null;
    for (const { box: pb } of drawn)
      if (pb) b = b ? [Math.min(b[0], pb[0]), Math.min(b[1], pb[1]), Math.max(b[2], pb[2]), Math.max(b[3], pb[3])] : pb;
    return b ?? [0, 0, 1, 1];
  }, [drawn]);
  const [view, setView] = useState({ zoom: 1, dx: 0, dy: 0 });
  const drag = useRef<{ x: number; y: number } | null>(null);
  const pad = Math.max(box[2] - box[0], box[3] - box[1]) * 0.05 + 1;
  const w = (box[2] - box[0] + 2 * pad) / view.zoom, h = (box[3] - box[1] + 2 * pad) / view.zoom;
  const cx = (box[0] + box[2]) / 2 - view.dx, cy = (box[1] + box[3]) / 2 - view.dy;
  const stroke = (Math.max(w, h) / 240) * 1.2;
  return (
    <svg
      className="pv-path nodrag nowheel"
      data-preview="path"
      viewBox={`${cx - w / 2} ${-cy - h / 2} ${w} ${h}`}
      onWheel={(e) => setView((v) => ({ ...v, zoom: Math.min(1000, Math.max(0.01, v.zoom * (e.deltaY < 0 ? 1.2 : 1 / 1.2))) }))}
      onPointerDown={(e) => { drag.current = { x: e.clientX, y: e.clientY }; (e.target as Element).setPointerCapture?.(e.pointerId); }}
      onPointerMove={(e) => {
        if (!drag.current) return;
        const rect = (e.currentTarget as SVGSVGElement).getBoundingClientRect();
        const scale = w / rect.width;
        const ddx = (e.clientX - drag.current.x) * scale, ddy = (e.clientY - drag.current.y) * scale;
        drag.current = { x: e.clientX, y: e.clientY };
        setView((v) => ({ ...v, dx: v.dx + ddx, dy: v.dy - ddy }));
      }}
      onPointerUp={() => { drag.current = null; }}
      onDoubleClick={() => setView({ zoom: 1, dx: 0, dy: 0 })}
    >
      <g transform="scale(1,-1)">
        {drawn.map(({ d, p }, i) => {
          const entry = isObj(p.entry) ? p.entry : null;
          const mode = entry && typeof entry.strokefill === 'number' ? entry.strokefill : 0;
          const fills = entry ? mode === 1 || mode === 2 : false;
          const strokes = entry ? mode === 0 || mode === 2 : true;
          return (
            <path key={i} d={d} fillRule={p.windingRule === 1 ? 'evenodd' : 'nonzero'}
              fill={fills ? colour(entry!.fill, 'rgba(40,40,40,0.6)') : 'rgba(80,140,255,0.12)'}
              stroke={strokes ? colour(entry?.stroke ?? null, '#2b6cd4') : 'none'}
              strokeWidth={stroke} vectorEffect="non-scaling-stroke" />
          );
        })}
      </g>
    </svg>
  );
}

function MeshPreview({ mesh, lines }: { mesh: Obj; lines: boolean }) {
  const holder = useRef<HTMLDivElement>(null);
  useEffect(() => {
    const el = holder.current;
    if (!el) return;
    const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
    renderer.setSize(240, 180);
    el.appendChild(renderer.domElement);
    const scene = new THREE.Scene();
    scene.background = new THREE.Color(0x20242c);
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', new THREE.Float32BufferAttribute(mesh.positions as number[], 3));
    let object: THREE.Object3D;
    if (lines) object = new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({ color: 0x9fd0ff }));
    else {
      geometry.setAttribute('normal', new THREE.Float32BufferAttribute(mesh.normals as number[], 3));
      object = new THREE.Mesh(geometry, new THREE.MeshNormalMaterial({ side: THREE.DoubleSide }));
    }
    scene.add(object);
    geometry.computeBoundingSphere();
    const sphere = geometry.boundingSphere ?? new THREE.Sphere(new THREE.Vector3(), 1);
    const radius = Math.max(sphere.radius, 1e-6);
    const camera = new THREE.PerspectiveCamera(40, 240 / 180, radius / 100, radius * 100);
    camera.position.copy(sphere.center).add(new THREE.Vector3(radius * 0.8, radius * 0.6, radius * 2.6));
    const controls = new OrbitControls(camera, renderer.domElement);
    controls.target.copy(sphere.center);
    controls.update();
    const draw = () => renderer.render(scene, camera);
    controls.addEventListener('change', draw);
    draw();
    return () => {
      controls.dispose();
      geometry.dispose();
      renderer.dispose();
      renderer.forceContextLoss();
      el.removeChild(renderer.domElement);
    };
  }, [mesh, lines]);
  const count = lines ? `${mesh.segments} segments` : `${mesh.triangles} triangles`;
  return (
    <div className="pv-mesh nodrag nowheel" data-preview="mesh">
      <div ref={holder} />
      <div className="pv-caption">{count}</div>
    </div>
  );
}

function TreePreview({ value, name }: { value: Json; name: string }) {
  const [open, setOpen] = useState(false);
  if (value === null || typeof value !== 'object') return <div className="pv-leaf"><span className="pv-key">{name}</span> {JSON.stringify(value)}</div>;
  const entries: [string, Json][] = Array.isArray(value) ? value.map((v, i) => [String(i), v]) : Object.entries(value);
  const special = !Array.isArray(value) && entries.length > 0 && entries[0][0].startsWith('$');
  if (special) return <div className="pv-leaf"><span className="pv-key">{name}</span> {JSON.stringify(value).slice(0, 200)}</div>;
  return (
    <details className="pv-tree" data-preview="tree" onToggle={(e) => setOpen((e.target as HTMLDetailsElement).open)}>
      <summary><span className="pv-key">{name}</span> {Array.isArray(value) ? `[${entries.length}]` : `{${entries.length}}`}</summary>
      {open && entries.slice(0, 500).map(([k, v]) => <TreePreview key={k} value={v} name={k} />)}
      {open && entries.length > 500 && <div className="pv-none">{entries.length - 500} more</div>}
    </details>
  );
}
