// A catalogue imported through the catalogue plugin (scripts/catalogue-plugin.ts): compiled messages.
declare module '*.json?catalogue' {
  import type { Messages } from '@lingui/core';
  const messages: Messages;
  export default messages;
}
declare module '*.json?catalogue&pseudo' {
  import type { Messages } from '@lingui/core';
  const messages: Messages;
  export default messages;
}
