// What sounds now, as every page must know it: whether anything plays, and whether the alarm is
// on. One answer for the whole interface, asked every second, so that no page says "nothing is
// playing" while another plays, and the alarm is seen from every page.
import { api } from './api/client';
import { createStore, useStore } from './lib/store';

export interface Playing {
  isPlaying: boolean;
  alarmActive: boolean;
}

/** The last answer; null before the first. */
const playing = createStore<Playing | null>(null);

/** Asks the server now; a refusal leaves what was known (not logged in, or unreachable). */
export async function refreshPlaying(): Promise<void> {
  try {
    playing.set(await api.playing());
  } catch {
    // The pages show their own errors.
  }
}

export function usePlaying(): Playing | null {
  return useStore(playing);
}
