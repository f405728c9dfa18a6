// The catalogues against each other and against the code: every language has every text, no text
// is kept that nothing shows, placeholders agree, and no English is written into the code.
import { readdirSync, readFileSync } from 'node:fs';
import { join, relative } from 'node:path';
import { compileMessage, type CompiledMessage } from '@lingui/message-utils/compileMessage';
import ts from 'typescript';
import { describe, expect, it } from 'vitest';
import { LANGUAGES } from '../src/i18n/choice';

const SRC = join(__dirname, '..', 'src');
const CATALOGUES = join(SRC, 'i18n', 'catalogues');

const catalogue = (language: string): Record<string, string> =>
  JSON.parse(readFileSync(join(CATALOGUES, `${language}.json`), 'utf8'));

function sourceFiles(dir = SRC): string[] {
  return readdirSync(dir, { withFileTypes: true }).flatMap((entry) => {
    const path = join(dir, entry.name);
    if (entry.isDirectory()) return path === CATALOGUES ? [] : sourceFiles(path);
    return /\.tsx?$/.test(entry.name) && !entry.name.endsWith('.d.ts') ? [path] : [];
  });
}

/** The names of a message's placeholders, and of its plural and select arguments. */
function placeholders(message: CompiledMessage, names = new Set<string>()): Set<string> {
  if (typeof message === 'string') return names;
  for (const token of message) {
    if (typeof token === 'string') continue;
    const [name, , format] = token;
    names.add(name);
    if (format && typeof format === 'object')
      for (const [choice, branch] of Object.entries(format)) if (choice !== 'offset') placeholders(branch as CompiledMessage, names);
  }
  return names;
}

describe('catalogues', () => {
  const english = catalogue('en');

  it('are one for each language of the interface, and the server keeps the same languages', () => {
    const files = readdirSync(CATALOGUES).filter((f) => f.endsWith('.json')).map((f) => f.replace(/\.json$/, ''));
    expect(files.sort()).toEqual([...LANGUAGES].sort());
    const settings = readFileSync(join(__dirname, '..', '..', 'src', 'model', 'settings.h'), 'utf8');
    const server = /INTERFACE_LANGUAGES\{([^}]*)\}/.exec(settings)?.[1].match(/"(\w+)"/g)?.map((q) => q.slice(1, -1));
    expect(server, 'INTERFACE_LANGUAGES in src/model/settings.h').toEqual([...LANGUAGES]);
  });

  it.each(LANGUAGES.filter((l) => l !== 'en'))('%s has exactly the keys of English', (language) => {
    const keys = Object.keys(catalogue(language));
    expect(Object.keys(english).filter((k) => !keys.includes(k)), 'missing').toEqual([]);
    expect(keys.filter((k) => !(k in english)), 'not in English').toEqual([]);
  });

  it.each(LANGUAGES.filter((l) => l !== 'en'))('%s has the placeholders of English in every message', (language) => {
    const other = catalogue(language);
    const differing = Object.keys(english).filter((key) => {
      if (!(key in other)) return false;
      const want = [...placeholders(compileMessage(english[key]))].sort();
      return JSON.stringify([...placeholders(compileMessage(other[key]))].sort()) !== JSON.stringify(want);
    });
    expect(differing).toEqual([]);
  });

  it('has no key that the code never names', () => {
    const code = sourceFiles()
      .map((f) => readFileSync(f, 'utf8'))
      .join('\n');
    expect(Object.keys(english).filter((key) => !code.includes(`'${key}'`) && !code.includes(`"${key}"`))).toEqual([]);
  });
});

// Attributes whose values people read or hear.
const READ_ATTRIBUTES = new Set(['aria-label', 'title', 'placeholder', 'alt', 'label', 'message', 'confirmLabel']);
// A text for people: a capitalised word, or words with a space between them.
const looksLikeText = (text: string): boolean => /^[A-Z][a-z]+$/.test(text.trim()) || /[A-Za-z]{2,} [A-Za-z]{2,}/.test(text);
// A line may say why its text stays as it is: "// untranslated: <why>".
const EXEMPT = /\/\/ untranslated: /;

/** The English texts written into a source file, as "line: text". */
export function literalTexts(path: string, code: string): string[] {
  const file = ts.createSourceFile(path, code, ts.ScriptTarget.Latest, true, path.endsWith('x') ? ts.ScriptKind.TSX : ts.ScriptKind.TS);
  const lines = code.split('\n');
  const found: string[] = [];
  const report = (node: ts.Node, text: string) => {
    const line = file.getLineAndCharacterOfPosition(node.getStart()).line;
    if (!EXEMPT.test(lines[line]) && !EXEMPT.test(lines[line - 1] ?? '')) found.push(`${line + 1}: ${text.trim()}`);
  };
  const visit = (node: ts.Node) => {
    if (ts.isImportDeclaration(node) || ts.isExportDeclaration(node)) return;
    if (ts.isJsxText(node) && /[A-Za-z]{2,}/.test(node.text)) report(node, node.text);
    else if (ts.isJsxAttribute(node) && READ_ATTRIBUTES.has(node.name.getText()) && node.initializer && ts.isStringLiteral(node.initializer)) {
      if (/[A-Za-z]{2,}/.test(node.initializer.text)) report(node, node.initializer.text);
      return;
    } else if (ts.isStringLiteral(node) || ts.isNoSubstitutionTemplateLiteral(node) || ts.isTemplateHead(node) || ts.isTemplateMiddle(node) || ts.isTemplateTail(node)) {
      const parent = ts.isTemplateLiteralToken(node) && !ts.isNoSubstitutionTemplateLiteral(node) ? node.parent.parent : node.parent;
      const piece = !ts.isStringLiteral(node) && !ts.isNoSubstitutionTemplateLiteral(node);
      // Inside an attribute that nobody reads (class, href): no text.
      let attribute: ts.Node | undefined = parent;
      while (attribute && !ts.isJsxAttribute(attribute) && !ts.isStatement(attribute)) attribute = attribute.parent;
      const unread = attribute !== undefined && ts.isJsxAttribute(attribute) && !READ_ATTRIBUTES.has(attribute.name.getText());
      // Compared with, or switched on: a value, not a text (e.key === 'Enter').
      const compared =
        (ts.isBinaryExpression(parent) && [ts.SyntaxKind.EqualsEqualsEqualsToken, ts.SyntaxKind.ExclamationEqualsEqualsToken].includes(parent.operatorToken.kind)) ||
        ts.isCaseClause(parent) || ts.isLiteralTypeNode(parent);
      const text = piece ? /(^|\s)[A-Za-z]{2,}(\s|$)/.test(node.text) && /\s/.test(node.text) : looksLikeText(node.text);
      if (!compared && !unread && !ts.isJsxAttribute(parent) && text) report(node, node.text);
    }
    ts.forEachChild(node, visit);
  };
  visit(file);
  return found;
}

describe('the code', () => {
  const files = sourceFiles().map((path) => relative(SRC, path).split('\\').join('/'));
  // The server's own texts, which the interface matches and translates, and the catalogue machinery.
  const MACHINERY = new Set(['i18n/serverTexts.ts', 'i18n/index.ts']);

  it.each(files.filter((f) => !MACHINERY.has(f)))('%s writes no English text itself', (file) => {
    expect(literalTexts(file, readFileSync(join(SRC, file), 'utf8'))).toEqual([]);
  });

  it('finds the English texts that a component writes itself', () => {
    const component = [
      "const a = <p>Nothing was played</p>;",
      "const b = <button aria-label='The day before' />;",
      "const c = { label: 'Dashboard' };",
      "const d = `${n} s late`;",
      "const e = e.key === 'Enter' ? t('nav.dashboard') : 'log-nav';",
      "const g = <div class={`app ${bare}`} data-x={'Some thing'} />;",
      "const f = 'Rang'; // untranslated: the server's word",
    ].join('\n');
    expect(literalTexts('x.tsx', component).map((l) => l.split(': ')[0])).toEqual(['1', '2', '3', '4']);
  });
});
