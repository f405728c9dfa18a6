// Draws the interface's icon (a navy bell on an amber disc) and writes public/favicon.ico with
// 16, 32 and 48 pixel images. Run after changing the drawing: node scripts/make-favicon.mjs
import { writeFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const AMBER = [0xf5, 0xb8, 0x2e];
const NAVY = [0x1f, 0x3a, 0x5f];

// Which colour covers the point (x, y) of the unit square, or null outside the disc.
function colourAt(x, y) {
  const dx = x - 0.5;
  const dy = y - 0.5;
  if (dx * dx + dy * dy > 0.25) return null;
  const ax = Math.abs(dx);
  const inCircle = (cx, cy, r) => (x - cx) ** 2 + (y - cy) ** 2 <= r * r;
  const knob = inCircle(0.5, 0.2, 0.055);
  const dome = y >= 0.22 && y <= 0.68 && ax <= 0.1 + 0.16 * Math.sqrt((y - 0.22) / 0.46);
  const rim = y >= 0.64 && y <= 0.71 && ax <= 0.31;
  const clapper = inCircle(0.5, 0.775, 0.07);
  return knob || dome || rim || clapper ? NAVY : AMBER;
}

function render(size) {
  const samples = 4;
  const pixels = Buffer.alloc(size * size * 4);
  for (let py = 0; py < size; py++) {
    for (let px = 0; px < size; px++) {
      let r = 0, g = 0, b = 0, a = 0;
      for (let sy = 0; sy < samples; sy++) {
        for (let sx = 0; sx < samples; sx++) {
          const c = colourAt((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size);
          if (!c) continue;
          r += c[0]; g += c[1]; b += c[2]; a += 1;
        }
      }
      // Bottom-up rows, BGRA, colours not premultiplied.
      const at = ((size - 1 - py) * size + px) * 4;
      if (a > 0) {
        pixels[at] = Math.round(b / a);
        pixels[at + 1] = Math.round(g / a);
        pixels[at + 2] = Math.round(r / a);
      }
      pixels[at + 3] = Math.round((255 * a) / (samples * samples));
    }
  }
  const header = Buffer.alloc(40);
  header.writeUInt32LE(40, 0);
  header.writeInt32LE(size, 4);
  header.writeInt32LE(size * 2, 8); // the colour image and the (empty) mask
  header.writeUInt16LE(1, 12);
  header.writeUInt16LE(32, 14);
  header.writeUInt32LE(0, 16);
  const maskRow = Math.ceil(size / 32) * 4;
  const mask = Buffer.alloc(maskRow * size);
  header.writeUInt32LE(pixels.length + mask.length, 20);
  return Buffer.concat([header, pixels, mask]);
}

const sizes = [16, 32, 48];
const images = sizes.map(render);
const directory = Buffer.alloc(6 + 16 * sizes.length);
directory.writeUInt16LE(0, 0);
directory.writeUInt16LE(1, 2);
directory.writeUInt16LE(sizes.length, 4);
let offset = directory.length;
sizes.forEach((size, i) => {
  const at = 6 + 16 * i;
  directory.writeUInt8(size, at);
  directory.writeUInt8(size, at + 1);
  directory.writeUInt16LE(1, at + 4);
  directory.writeUInt16LE(32, at + 6);
  directory.writeUInt32LE(images[i].length, at + 8);
  directory.writeUInt32LE(offset, at + 12);
  offset += images[i].length;
});
const target = fileURLToPath(new URL('../public/favicon.ico', import.meta.url));
writeFileSync(target, Buffer.concat([directory, ...images]));
console.log(`wrote ${target}`);
