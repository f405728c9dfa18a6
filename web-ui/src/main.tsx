import { render } from 'preact';
// The base first, then every component's own styles (imported by each), then what narrow screens
// change of the shared controls.
import './global.css';
import { App } from './App';
import './narrow.css';
import { startLanguage } from './i18n';

// The first page is shown in its language, never in English first.
void startLanguage().finally(() => render(<App />, document.getElementById('app')!));
