// Message catalogues are JSON files of ICU messages (src/i18n/catalogues/<language>.json), which
// translators edit as they are. Imported with "?catalogue", a catalogue arrives compiled, so that
// the browser needs no message parser; "?catalogue&pseudo" gives the pseudo-locale made from it:
// every text accented and lengthened by about 40 %, in brackets, its placeholders untouched, so
// that a text that escaped translation or a box too small for a longer language shows at once.
import { readFileSync } from 'node:fs';
import { compileMessage } from '@lingui/message-utils/compileMessage';
import type { Plugin } from 'vite';

const ACCENTED: Record<string, string> = {
  a: 'å', c: 'ç', e: 'é', i: 'î', n: 'ñ', o: 'ö', s: 'š', u: 'ü', y: 'ý', z: 'ž', l: 'ļ', t: 'ţ',
  A: 'Å', C: 'Ç', E: 'É', I: 'Î', N: 'Ñ', O: 'Ö', S: 'Š', U: 'Ü', Y: 'Ý', Z: 'Ž', L: 'Ļ', T: 'Ţ',
};

/** The pseudo-locale's form of one piece of text of a message: accented. */
export const accented = (text: string): string => [...text].map((c) => ACCENTED[c] ?? c).join('');

/**
 * A message of the pseudo-locale: its texts accented, the whole in brackets and lengthened by
 * about 40 % of its letters, so that a text cut short shows its missing bracket.
 */
function pseudoMessage(message: string) {
  const compiled = compileMessage(message, accented);
  // The padding comes in words of a few letters, as a longer language's text would, so that it
  // wraps where words wrap instead of standing out as one word no box could hold.
  const padding = Math.ceil(message.replace(/\{[^}]*\}/g, '').replace(/[^\p{L}]/gu, '').length * 0.4);
  const tail = ` ${'~'.repeat(padding).replace(/~{6}(?=~)/g, '$& ')}]`;
  return typeof compiled === 'string' ? `[${compiled}${tail}` : ['[', ...compiled, tail];
}

/** Each message of `source` (key to ICU message) compiled as the runtime reads it. */
export function compileCatalogue(source: Record<string, string>, pseudo = false) {
  return Object.fromEntries(
    Object.entries(source).map(([key, message]) => [key, pseudo ? pseudoMessage(message) : compileMessage(message)]),
  );
}

// Resolved to an id of its own, "\0catalogue:<plain|pseudo>:<path>.js", so that no other plugin
// takes the compiled module for JSON.
const PREFIX = '\0catalogue:';

export function cataloguePlugin(): Plugin {
  return {
    name: 'tollwick-catalogues',
    enforce: 'pre',
    async resolveId(id, importer) {
      const [path, query] = id.split('?');
      const flags = query?.split('&') ?? [];
      if (!flags.includes('catalogue')) return null;
      const resolved = await this.resolve(path, importer, { skipSelf: true });
      return resolved && `${PREFIX}${flags.includes('pseudo') ? 'pseudo' : 'plain'}:${resolved.id}.js`;
    },
    load(id) {
      if (!id.startsWith(PREFIX)) return null;
      const rest = id.slice(PREFIX.length);
      const mode = rest.slice(0, rest.indexOf(':'));
      const path = rest.slice(mode.length + 1, -'.js'.length);
      this.addWatchFile(path);
      const source = JSON.parse(readFileSync(path, 'utf8')) as Record<string, string>;
      return `export default ${JSON.stringify(compileCatalogue(source, mode === 'pseudo'))};`;
    },
  };
}
