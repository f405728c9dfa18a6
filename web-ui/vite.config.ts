import { defineConfig } from 'vitest/config';
import { cataloguePlugin } from './scripts/catalogue-plugin';

// The server serves dist/ as it is; asset names carry content hashes, index.html and
// favicon.ico keep their names.
export default defineConfig({
  plugins: [cataloguePlugin()],
  esbuild: {
    jsx: 'automatic',
    jsxImportSource: 'preact',
  },
  build: {
    outDir: 'dist',
    emptyOutDir: true,
    target: 'es2020',
    assetsInlineLimit: 0,
    reportCompressedSize: false,
    modulePreload: { polyfill: false },
  },
  server: {
    host: '127.0.0.1',
    proxy: Object.fromEntries(
      ['/api', '/db', '/upload', '/get_signal_file', '/auth', '/whoami'].map((p) => [
        p,
        { target: process.env.TOLLWICK_BACKEND ?? 'http://127.0.0.1:2233' },
      ]),
    ),
  },
  test: {
    environment: 'node',
    include: ['test/**/*.test.ts', 'test/**/*.test.tsx'],
  },
});
