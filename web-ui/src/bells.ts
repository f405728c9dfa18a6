// Whether the bells ring by the timetables (the scheduler's switch), as every page must know: while
// they are off, every page says so and no calendar shows a ringing day.
import { api } from './api/client';
import { createStore, useStore } from './lib/store';

/** The switch as last heard from the server or set here. */
const bellsOn = createStore<boolean | null>(null);

export function setBellsOn(value: boolean): void {
  bellsOn.set(value);
}

/** Asks the server again; a refusal leaves what was known (the page shows its own errors). */
export async function refreshBells(): Promise<void> {
  try {
    setBellsOn((await api.settings()).schedulerEnable);
  } catch {
    // Not logged in or unreachable.
  }
}

/** Switches the bells on or off and tells every page. */
export async function switchBells(on: boolean): Promise<void> {
  await api.updateSettings({ schedulerEnable: on });
  setBellsOn(on);
}

/** True or false once known, null before the first answer. */
export function useBellsOn(): boolean | null {
  return useStore(bellsOn);
}
