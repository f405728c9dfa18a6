// Whether the bells ring by the timetables (the scheduler's switch), as every page must know: while
// they are off, every page says so and no calendar shows a ringing day.
import { useEffect, useState } from 'preact/hooks';
import { api } from './api/client';

type Listener = (bellsOn: boolean | null) => void;
let bellsOn: boolean | null = null;
const listeners = new Set<Listener>();

export function setBellsOn(value: boolean): void {
  if (value === bellsOn) return;
  bellsOn = value;
  for (const l of listeners) l(value);
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
  const [value, setValue] = useState(bellsOn);
  useEffect(() => {
    listeners.add(setValue);
    setValue(bellsOn);
    return () => void listeners.delete(setValue);
  }, []);
  return value;
}
