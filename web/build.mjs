// Bundles the editor into one folder: node build.mjs OUTDIR (the build runs it into build/web).
import { build } from 'esbuild';
import { mkdirSync, copyFileSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const out = process.argv[2] ?? join(here, 'dist');
mkdirSync(out, { recursive: true });
await build({
  entryPoints: [join(here, 'src/main.tsx')],
  bundle: true,
  minify: true,
  sourcemap: false,
  target: 'es2022',
  format: 'esm',
  jsx: 'automatic',
  outfile: join(out, 'editor.js'),
  define: { 'process.env.NODE_ENV': '"production"' },
  logLevel: 'warning',
});
copyFileSync(join(here, 'src/index.html'), join(out, 'index.html'));
const flowCss = readFileSync(join(here, 'node_modules/@xyflow/react/dist/style.css'), 'utf8');
writeFileSync(join(out, 'editor.css'), flowCss + '\n' + readFileSync(join(here, 'src/editor.css'), 'utf8'));
