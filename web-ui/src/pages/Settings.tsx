// Scheduler switch, alarm and announcement signals, password and logout.
import { useEffect, useRef, useState } from 'preact/hooks';
import { api } from '../api/client';
import type { Settings, SignalRow } from '../api/types';
import { refreshBells, switchBells, useBellsOn } from '../bells';
import { Button, Card, described, Field, LoadError, Loading, Outcome, PageHeader, SignalSelect, useConfirm } from '../components/ui';
import { checkNewPassword } from '../lib/forms';
import { useAction, useLoad, useTitle } from '../lib/hooks';
import { readDecimal } from '../lib/timetableForm';
import { knownVersion } from '../lib/version';
import { navigate } from '../router';
import { setPasswordSet, usePasswordSet } from '../session';
import './Settings.css';

export function SettingsPage() {
  useTitle('Settings');
  const loaded = useLoad(() => Promise.all([api.settings(), api.signals(), api.info()]));
  useEffect(() => {
    if (window.location.hash === '#password' && loaded.data) document.getElementById('new-password')?.focus();
  }, [loaded.data]);
  if (loaded.error && !loaded.data) return <LoadError error={loaded.error} retry={loaded.reload} />;
  if (!loaded.data) return <Loading />;
  const [settings, signals, info] = loaded.data;
  return (
    <div>
      <PageHeader title="Settings" />
      <div class="two-columns">
        <SchedulerCard settings={settings} onChanged={loaded.reload} />
        <SoundsCard settings={settings} signals={signals} onChanged={loaded.reload} />
        <PasswordCard />
        <BackupCard onRestored={loaded.reload} />
        <Card title="About" id="about">
          <dl class="facts">
            <div>
              <dt>Version</dt>
              <dd>{knownVersion(info.version) ?? 'Not known (a development build)'}</dd>
            </div>
            <div>
              <dt>Vendor service</dt>
              <dd>{info.internetAccess ? 'Reachable' : 'Not reachable: holiday data and announcements cannot be fetched now'}</dd>
            </div>
          </dl>
        </Card>
      </div>
    </div>
  );
}

function SchedulerCard({ settings, onChanged }: { settings: Settings; onChanged: () => Promise<void> }) {
  const action = useAction();
  const confirm = useConfirm();
  // The banner of every page can switch the bells on too.
  const enabled = useBellsOn() ?? settings.schedulerEnable;
  const change = async (on: boolean) => {
    // Switching off silences the whole school: only on purpose.
    if (!on) {
      const yes = await confirm.ask({
        title: 'Switch the bells off?',
        message: <p>No lesson bell, extra play or programme rings until somebody switches the bells on again. Signals and the alarm can still be played by hand.</p>,
        confirmLabel: 'Switch the bells off',
        danger: true,
      });
      if (!yes) return;
    }
    await action.run(async () => {
      await switchBells(on);
      await onChanged();
    }, on ? 'The bells ring by the timetables again' : 'The bells are switched off');
  };
  return (
    <Card title="Automatic bells" id="scheduler">
      <label class="switch" for="scheduler-enable">
        <input
          id="scheduler-enable"
          type="checkbox"
          role="switch"
          checked={enabled}
          disabled={action.busy}
          onChange={(e) => {
            const on = e.currentTarget.checked;
            // The switch shows the stored state until the change is confirmed and saved.
            e.currentTarget.checked = enabled;
            void change(on);
          }}
        />
        <span class="switch-track" aria-hidden="true" />
        Ring the bells by the timetables
      </label>
      <p class="hint">
        {enabled
          ? 'Lessons, extra plays and programmes play at their times.'
          : 'Nothing plays by itself until this is switched on again; signals and the alarm can still be played by hand.'}
      </p>
      <Outcome action={action} />
      {confirm.element}
    </Card>
  );
}

function SoundsCard({ settings, signals, onChanged }: { settings: Settings; signals: SignalRow[]; onChanged: () => Promise<void> }) {
  const [alarmSignal, setAlarmSignal] = useState(settings.alarmSignalId);
  const [delay, setDelay] = useState(String(settings.alarmDelaySec));
  const [announceSignal, setAnnounceSignal] = useState(settings.announcementSignalId);
  const [delayError, setDelayError] = useState<string | null>(null);
  const save = useAction();
  const submit = async (e: Event) => {
    e.preventDefault();
    const readDelay = readDecimal(delay, 0, 600);
    if (typeof readDelay === 'string') {
      setDelayError(readDelay);
      return;
    }
    setDelayError(null);
    await save.run(async () => {
      await api.updateSettings({ alarmSignalId: alarmSignal, alarmDelaySec: readDelay, announcementSignalId: announceSignal });
      await onChanged();
    }, 'Saved');
  };
  return (
    <Card title="Alarm and announcements" id="sounds">
      <form onSubmit={submit} noValidate>
        <Field id="alarm-signal" label="Alarm signal">
          <SignalSelect id="alarm-signal" value={alarmSignal} onChange={setAlarmSignal} signals={signals} allowNone={false} />
        </Field>
        <Field id="alarm-delay" label="Pause between alarm repetitions (seconds)" error={delayError}>
          <input id="alarm-delay" type="number" inputMode="decimal" min={0} max={600} step={0.5} value={delay} onInput={(e) => setDelay(e.currentTarget.value)} {...described('alarm-delay', delayError)} />
        </Field>
        <Field id="announce-signal" label="Signal before every announcement">
          <SignalSelect id="announce-signal" value={announceSignal} onChange={setAnnounceSignal} signals={signals} />
        </Field>
        <Button type="submit" variant="primary" icon="check" busy={save.busy}>
          Save
        </Button>
        <Outcome action={save} />
      </form>
    </Card>
  );
}

export function PasswordForm({ onDone, submitLabel = 'Set password' }: { onDone?: () => void; submitLabel?: string }) {
  const [password, setPassword] = useState('');
  const [repeat, setRepeat] = useState('');
  const [code, setCode] = useState('');
  const [errors, setErrors] = useState<Record<string, string>>({});
  const action = useAction();
  // The first password set from another computer than the server's needs the set-up code.
  const setup = useLoad(() => api.setup());
  const codeNeeded = setup.data?.setupCodeNeeded === true;
  const submit = async (e: Event) => {
    e.preventDefault();
    const checked = checkNewPassword(password, repeat);
    const problems: Record<string, string> = checked.ok ? {} : { ...checked.errors };
    if (codeNeeded && !code.trim()) problems.code = 'Enter the set-up code';
    if (!checked.ok || Object.keys(problems).length > 0) {
      setErrors(problems);
      return;
    }
    setErrors({});
    const ok = await action.run(
      () => api.changePassword(checked.value, codeNeeded ? code.trim() : undefined),
      'Password saved. This browser stays logged in.',
    );
    if (ok) {
      setPassword('');
      setRepeat('');
      setCode('');
      setPasswordSet(true);
      onDone?.();
    }
  };
  return (
    <form onSubmit={submit} noValidate>
      <Field id="new-password" label="New password" error={errors.password}>
        <input id="new-password" type="password" autoComplete="new-password" value={password} onInput={(e) => setPassword(e.currentTarget.value)} {...described('new-password', errors.password)} />
      </Field>
      <Field id="repeat-password" label="The same password again" error={errors.repeat}>
        <input id="repeat-password" type="password" autoComplete="new-password" value={repeat} onInput={(e) => setRepeat(e.currentTarget.value)} {...described('repeat-password', errors.repeat)} />
      </Field>
      {codeNeeded && (
        <Field
          id="setup-code"
          label="Set-up code"
          error={errors.code}
          hint="You are not at the computer that runs Tollwick Player. Its administrator finds the set-up code there: in its log, or in the file setup-code of its data folder."
        >
          <input id="setup-code" inputMode="numeric" autoComplete="one-time-code" placeholder="1234-5678" value={code} onInput={(e) => setCode(e.currentTarget.value)} {...described('setup-code', errors.code, true)} />
        </Field>
      )}
      <Button type="submit" variant="primary" icon="check" busy={action.busy}>
        {submitLabel}
      </Button>
      <Outcome action={action} />
    </form>
  );
}

function PasswordCard() {
  const passwordSet = usePasswordSet();
  const logout = useAction();
  return (
    <Card title="Password" id="password">
      <p class="hint">
        {passwordSet
          ? 'A password protects this interface. Setting a new one keeps everybody who is logged in logged in.'
          : 'No password is set: anybody who can reach this computer can use this interface.'}
      </p>
      <PasswordForm submitLabel={passwordSet ? 'Change password' : 'Set password'} />
      {passwordSet && (
        <div class="logout-row">
          <Button
            icon="logout"
            busy={logout.busy}
            onClick={async () => {
              const ok = await logout.run(() => api.logout());
              if (ok) navigate('/login');
            }}
          >
            Log out
          </Button>
          <Outcome action={logout} />
        </div>
      )}
    </Card>
  );
}

/** Saves a downloaded file under `fileName` through the browser's own download. */
function saveFile(blob: Blob, fileName: string): void {
  const url = URL.createObjectURL(blob);
  const link = document.createElement('a');
  link.href = url;
  link.download = fileName;
  document.body.appendChild(link);
  link.click();
  link.remove();
  window.setTimeout(() => URL.revokeObjectURL(url), 60000);
}

function BackupCard({ onRestored }: { onRestored: () => Promise<void> }) {
  const download = useAction();
  const restore = useAction();
  const confirm = useConfirm();
  const chooser = useRef<HTMLInputElement>(null);
  const [chosen, setChosen] = useState<File | null>(null);
  const start = async () => {
    if (!chosen) {
      restore.fail('Choose a backup file (.zip) first');
      return;
    }
    const yes = await confirm.ask({
      title: 'Restore from this backup?',
      message: (
        <>
          <p>
            Everything the bells follow is replaced by what <strong>{chosen.name}</strong> holds: the timetables, the signals
            and programmes with their sound files, the settings, the calendar and the holiday data.
          </p>
          <p>The password stays as it is. To keep what is here now, download a backup of it first.</p>
        </>
      ),
      confirmLabel: 'Replace with the backup',
      danger: true,
    });
    if (!yes) return;
    const ok = await restore.run(async () => {
      await api.restore(chosen);
      await refreshBells();
      await onRestored();
    }, 'Restored: the bells ring by the backup now');
    if (ok) {
      setChosen(null);
      if (chooser.current) chooser.current.value = '';
    }
  };
  return (
    <Card title="Backup" id="backup">
      <p class="hint">One file with the timetables, signals, programmes, settings and calendar, to keep safe or to move to another PC. It holds no password.</p>
      <Button
        icon="download"
        busy={download.busy}
        onClick={() =>
          download.run(async () => {
            const { blob, fileName } = await api.backup();
            saveFile(blob, fileName);
          }, 'The backup is in your downloads')
        }
      >
        Download a backup
      </Button>
      <Outcome action={download} />
      <h3 class="restore-title">Restore from a backup</h3>
      <div class="field">
        <label for="restore-file">Backup file (.zip)</label>
        <input
          ref={chooser}
          id="restore-file"
          type="file"
          accept=".zip,application/zip"
          onChange={(e) => {
            setChosen(e.currentTarget.files?.[0] ?? null);
            restore.clear();
          }}
        />
      </div>
      <Button icon="upload" variant="danger" busy={restore.busy} onClick={start}>
        Restore from a backup
      </Button>
      <Outcome action={restore} />
      {confirm.element}
    </Card>
  );
}
