// The names of the built-in signals and of the first timetable in the active language. The server
// keeps their names as it made them; the interface shows each in the chosen language for as long
// as nobody has renamed it. A renamed one, and everything uploaded or made here, shows its own name.
import { t, type MessageKey } from './index';

interface FactoryName {
  /** The name the server gives it. */
  stored: string;
  key: MessageKey;
}

const SIGNALS = new Map<string, FactoryName>(Object.entries({
  ID_double: { stored: 'double', key: 'factory.signalDouble' },
  ID_robot: { stored: 'robot', key: 'factory.signalRobot' },
  ID_ping: { stored: 'ping', key: 'factory.signalPing' },
  ID_triplet: { stored: 'triplet', key: 'factory.signalTriplet' },
  ID_vibraphone: { stored: 'vibraphone', key: 'factory.signalVibraphone' },
  ID_cartoon: { stored: 'cartoon', key: 'factory.signalCartoon' },
  ID_guitar: { stored: 'guitar', key: 'factory.signalGuitar' },
  ID_melody: { stored: 'melody', key: 'factory.signalMelody' },
  ID_ring: { stored: 'ring', key: 'factory.signalRing' },
  ID_alarm: { stored: 'alarm', key: 'factory.signalAlarm' },
  ID_intercom: { stored: 'intercom', key: 'factory.signalIntercom' },
  ID_bigben: { stored: 'BigBen', key: 'factory.signalBigBen' },
  // Not a signal of the database: the sound of the loudspeaker test, as the play log names it.
  loudspeakerTest: { stored: 'Loudspeaker test', key: 'factory.loudspeakerTest' }, // untranslated: the name the server stores
} satisfies Record<string, FactoryName>));

const TIMETABLES = new Map<string, FactoryName>([
  ['ID_factory_default_timetable', { stored: 'Default', key: 'factory.timetableDefault' }], // untranslated: the name the server stores
]);

function shown(names: Map<string, FactoryName>, id: string, storedName: string): string {
  const factory = names.get(id);
  return factory && factory.stored === storedName ? t(factory.key) : storedName;
}

/** The name to show for the signal `id` whose stored name is `storedName`. */
export const signalName = (id: string, storedName: string): string => shown(SIGNALS, id, storedName);

/** The name to show for the timetable `id` whose stored name is `storedName`. */
export const timetableName = (id: string, storedName: string): string => shown(TIMETABLES, id, storedName);
