// The school's language and name, alarm and announcement signals, password and logout, the bells
// switch, backups, and for the school's IT the alert addresses and the monitoring token.
import { useEffect, useRef, useState } from 'preact/hooks';
import { api } from '../api/client';
import { ALERT_EVENTS, type AlertKind, type AlertTarget, type Settings, type SignalRow } from '../api/types';
import { refreshBells, switchBells, useBellsOn } from '../bells';
import { FilePicker } from '../components/FilePicker';
import { Icon } from '../components/Icon';
import { Button, Card, described, Field, LoadError, Loading, Outcome, PageHeader, SignalSelect, useConfirm } from '../components/ui';
import { checkAlertUrl, checkSchoolName, EVENT_NAMES, MAX_TARGETS, testAlertResult, type TestAlertResult } from '../lib/alerts';
import { checkNewPassword } from '../lib/forms';
import { useAction, useLoad, useTitle } from '../lib/hooks';
import { learnInstallationLanguage, LANGUAGES, LOCALES, PRODUCT_NAME, t, type Language, type MessageKey } from '../i18n';
import { readDecimal } from '../lib/timetableForm';
import { bareVersion } from '../lib/version';
import { navigate } from '../router';
import { setPasswordSet, usePasswordSet } from '../session';
import './Settings.css';

export function SettingsPage() {
  useTitle(t('settings.title'));
  const loaded = useLoad(() => Promise.all([api.settings(), api.signals(), api.info()]));
  useEffect(() => {
    if (window.location.hash === '#password' && loaded.data) document.getElementById('new-password')?.focus();
  }, [loaded.data]);
  if (loaded.error && !loaded.data) return <LoadError error={loaded.error} retry={loaded.reload} />;
  if (!loaded.data) return <Loading />;
  const [settings, signals, info] = loaded.data;
  return (
    <div>
      <PageHeader title={t('settings.title')} />
      <div class="two-columns">
        <Card title={t('settings.languageTitle')} id="language">
          <SchoolLanguageField id="school-language" language={settings.language ?? 'en'} onSaved={loaded.reload} />
        </Card>
        <Card title={t('settings.schoolTitle')} id="school">
          <SchoolNameField id="school-name" name={settings.schoolName ?? ''} onSaved={loaded.reload} />
        </Card>
        <SoundsCard settings={settings} signals={signals} onChanged={loaded.reload} />
        <PasswordCard />
        {/* Below the everyday settings: a thumb scrolling down a phone must not meet it first. */}
        <SchedulerCard settings={settings} onChanged={loaded.reload} />
        <BackupCard onRestored={loaded.reload} />
        {/* For the school's IT, who set them up once. */}
        <AlertsCard targets={settings.alertTargets ?? []} onChanged={loaded.reload} />
        <MonitoringCard />
        <Card title={t('settings.about')} id="about">
          <dl class="facts">
            <div>
              <dt>{t('settings.version')}</dt>
              <dd>{bareVersion(info.version)}</dd>
            </div>
            <div>
              <dt>{t('settings.onlineService')}</dt>
              <dd>{info.internetAccess ? t('settings.onlineServiceReachable') : t('settings.onlineServiceNotReachable')}</dd>
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
        title: t('settings.bellsOffQuestion'),
        message: <p>{t('settings.bellsOffConsequence')}</p>,
        confirmLabel: t('settings.bellsOffConfirm'),
        danger: true,
      });
      if (!yes) return;
    }
    await action.run(async () => {
      await switchBells(on);
      await onChanged();
    }, on ? t('settings.bellsOnDone') : t('settings.bellsOffDone'));
  };
  return (
    <Card title={t('settings.bellsTitle')} id="scheduler">
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
        {t('settings.bellsSwitch')}
      </label>
      <p class="hint">
        {enabled ? t('settings.bellsOnHint') : t('settings.bellsOffHint')}
      </p>
      <Outcome action={action} />
      {confirm.element}
    </Card>
  );
}

/**
 * The school's language: what every browser speaks that chose none of its own. It is saved as
 * soon as it is chosen, and this browser follows it at once.
 */
export function SchoolLanguageField({ id, language, onSaved }: { id: string; language: Language; onSaved: () => Promise<void> }) {
  const save = useAction();
  // The choice being saved, shown until the settings read back hold it.
  const [pending, setPending] = useState<Language | null>(null);
  const [saved, setSaved] = useState(false);
  const choose = async (next: Language) => {
    setPending(next);
    setSaved(false);
    const ok = await save.run(async () => {
      await api.updateSettings({ language: next });
      await learnInstallationLanguage(next);
      await onSaved();
    });
    setPending(null);
    setSaved(ok);
  };
  return (
    <>
      <Field id={id} label={t('settings.language')} hint={t('settings.languageHint')}>
        <select id={id} value={pending ?? language} disabled={save.busy} onChange={(e) => void choose(e.currentTarget.value as Language)} {...described(id, null, true)}>
          {LANGUAGES.map((option) => (
            <option key={option} value={option} lang={option}>
              {LOCALES[option].name}
            </option>
          ))}
        </select>
      </Field>
      {/* Said in the language just chosen, not in the one that was active when it was chosen. */}
      <Outcome action={save} done={saved ? t('settings.languageSaved') : null} />
    </>
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
    }, t('settings.saved'));
  };
  return (
    <Card title={t('settings.soundsTitle')} id="sounds">
      <form onSubmit={submit} noValidate>
        <Field id="alarm-signal" label={t('settings.alarmSignal')}>
          <SignalSelect id="alarm-signal" value={alarmSignal} onChange={setAlarmSignal} signals={signals} allowNone={false} />
        </Field>
        <Field id="alarm-delay" label={t('settings.alarmDelay')} error={delayError}>
          <input id="alarm-delay" type="number" inputMode="decimal" min={0} max={600} step={0.5} value={delay} onInput={(e) => setDelay(e.currentTarget.value)} {...described('alarm-delay', delayError)} />
        </Field>
        <Field id="announce-signal" label={t('settings.announcementSignal')}>
          <SignalSelect id="announce-signal" value={announceSignal} onChange={setAnnounceSignal} signals={signals} />
        </Field>
        <Button type="submit" variant="primary" icon="check" busy={save.busy}>
          {t('settings.save')}
        </Button>
        <Outcome action={save} />
      </form>
    </Card>
  );
}

export function PasswordForm({ onDone, submitLabel }: { onDone?: () => void; submitLabel?: string }) {
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
    if (codeNeeded && !code.trim()) problems.code = t('settings.enterSetupCode');
    if (!checked.ok || Object.keys(problems).length > 0) {
      setErrors(problems);
      return;
    }
    setErrors({});
    const ok = await action.run(
      () => api.changePassword(checked.value, codeNeeded ? code.trim() : undefined),
      t('settings.passwordSaved'),
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
      <Field id="new-password" label={t('settings.newPassword')} error={errors.password}>
        <input id="new-password" type="password" autoComplete="new-password" value={password} onInput={(e) => setPassword(e.currentTarget.value)} {...described('new-password', errors.password)} />
      </Field>
      <Field id="repeat-password" label={t('settings.repeatPassword')} error={errors.repeat}>
        <input id="repeat-password" type="password" autoComplete="new-password" value={repeat} onInput={(e) => setRepeat(e.currentTarget.value)} {...described('repeat-password', errors.repeat)} />
      </Field>
      {codeNeeded && (
        <Field
          id="setup-code"
          label={t('settings.setupCode')}
          error={errors.code}
          hint={t('settings.setupCodeHint', { product: PRODUCT_NAME })}
        >
          <input id="setup-code" inputMode="numeric" autoComplete="one-time-code" placeholder="1234-5678" value={code} onInput={(e) => setCode(e.currentTarget.value)} {...described('setup-code', errors.code, true)} />
        </Field>
      )}
      <Button type="submit" variant="primary" icon="check" busy={action.busy}>
        {submitLabel ?? t('settings.setPassword')}
      </Button>
      <Outcome action={action} />
    </form>
  );
}

function PasswordCard() {
  const passwordSet = usePasswordSet();
  const logout = useAction();
  return (
    <Card title={t('settings.passwordTitle')} id="password">
      <p class="hint">{passwordSet ? t('settings.passwordSetHint') : t('settings.passwordMissingHint')}</p>
      <PasswordForm submitLabel={passwordSet ? t('settings.changePassword') : t('settings.setPassword')} />
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
            {t('settings.logOut')}
          </Button>
          <Outcome action={logout} />
        </div>
      )}
    </Card>
  );
}

/** The message `key` with the file name in bold where its {file} stands. */
function withFileName(key: MessageKey, fileName: string) {
  const [before, after = ''] = t(key, { file: '\u0000' }).split('\u0000');
  return (
    <>
      {before}
      <strong>{fileName}</strong>
      {after}
    </>
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
      restore.fail(t('settings.chooseBackupFirst'));
      return;
    }
    const yes = await confirm.ask({
      title: t('settings.restoreQuestion'),
      message: (
        <>
          <p>{withFileName('settings.restoreReplaces', chosen.name)}</p>
          <p>{t('settings.restoreKeepsPassword')}</p>
        </>
      ),
      confirmLabel: t('settings.restoreConfirm'),
      danger: true,
    });
    if (!yes) return;
    const ok = await restore.run(async () => {
      await api.restore(chosen);
      await refreshBells();
      await onRestored();
    }, t('settings.restoreDone'));
    if (ok) {
      setChosen(null);
      if (chooser.current) chooser.current.value = '';
    }
  };
  return (
    <Card title={t('settings.backupTitle')} id="backup">
      <p class="hint">{t('settings.backupHint')}</p>
      <Button
        icon="download"
        busy={download.busy}
        onClick={() =>
          download.run(async () => {
            const { blob, fileName } = await api.backup();
            saveFile(blob, fileName);
          }, t('settings.backupDownloaded'))
        }
      >
        {t('settings.downloadBackup')}
      </Button>
      <Outcome action={download} />
      <h3 class="restore-title">{t('settings.restore')}</h3>
      <div class="field">
        <label for="restore-file">{t('settings.backupFile')}</label>
        <FilePicker
          inputRef={chooser}
          id="restore-file"
          accept=".zip,application/zip"
          file={chosen}
          onChoose={(file) => {
            setChosen(file);
            restore.clear();
          }}
        />
      </div>
      <Button icon="upload" variant="danger" busy={restore.busy} onClick={start}>
        {t('settings.restore')}
      </Button>
      <Outcome action={restore} />
      {confirm.element}
    </Card>
  );
}

/** The school's name, saved with its own button; empty is allowed. */
export function SchoolNameField({ id, name, optional, onSaved }: { id: string; name: string; optional?: boolean; onSaved: () => Promise<void> }) {
  const [text, setText] = useState(name);
  const [problem, setProblem] = useState<string | null>(null);
  const save = useAction();
  // A name saved elsewhere shows here once the settings are read again.
  useEffect(() => setText(name), [name]);
  const submit = async (e: Event) => {
    e.preventDefault();
    const next = text.trim();
    const wrong = checkSchoolName(next);
    setProblem(wrong);
    if (wrong) return;
    await save.run(async () => {
      await api.updateSettings({ schoolName: next });
      await onSaved();
    }, t('settings.schoolNameSaved'));
  };
  return (
    <form onSubmit={submit} noValidate>
      <Field id={id} label={optional ? t('settings.schoolNameOptional') : t('settings.schoolName')} hint={t('settings.schoolNameHint')} error={problem}>
        <input id={id} type="text" autoComplete="organization" value={text} onInput={(e) => setText(e.currentTarget.value)} {...described(id, problem, true)} />
      </Field>
      <Button type="submit" variant="primary" icon="check" busy={save.busy}>
        {t('settings.save')}
      </Button>
      <Outcome action={save} />
    </form>
  );
}

/** Puts `text` on the clipboard; without the clipboard's permission, through the selected field. */
async function copyText(text: string, field: HTMLInputElement | null): Promise<void> {
  try {
    await navigator.clipboard.writeText(text);
    return;
  } catch {
    // Not a secure page (an address other than localhost without https): the older way.
  }
  field?.select();
  if (!document.execCommand('copy')) throw new Error(t('settings.copyFailed'));
}

function MonitoringCard() {
  const token = useLoad(() => api.metricsToken());
  const copy = useAction();
  const renew = useAction();
  const confirm = useConfirm();
  const field = useRef<HTMLInputElement>(null);
  const makeNew = async () => {
    const yes = await confirm.ask({
      title: t('settings.newTokenQuestion'),
      message: <p>{t('settings.newTokenConsequence')}</p>,
      confirmLabel: t('settings.newToken'),
      danger: true,
    });
    if (!yes) return;
    copy.clear();
    await renew.run(async () => {
      await api.trigger('newMetricsToken');
      await token.reload();
    }, t('settings.newTokenDone'));
  };
  return (
    <Card title={t('settings.monitoringTitle')} id="monitoring">
      <p class="hint">{t('settings.monitoringHint')}</p>
      {token.error && !token.data && <LoadError error={token.error} retry={token.reload} />}
      {!token.data && !token.error && <Loading />}
      {token.data && (
        <>
          <Field id="metrics-token" label={t('settings.monitoringToken')}>
            <div class="token-row">
              <input ref={field} id="metrics-token" type="text" class="token" readOnly value={token.data} spellcheck={false} onFocus={(e) => e.currentTarget.select()} />
              <Button icon="copy" onClick={() => copy.run(() => copyText(token.data ?? '', field.current), t('settings.copied'), 4000)}>
                {t('settings.copy')}
              </Button>
            </div>
          </Field>
          <Outcome action={copy} />
          <Button icon="renew" variant="danger" busy={renew.busy} onClick={makeNew}>
            {t('settings.newToken')}
          </Button>
          <Outcome action={renew} />
        </>
      )}
      {confirm.element}
    </Card>
  );
}

const KIND_NAMES: Record<AlertKind, MessageKey> = { webhook: 'alerts.kindWebhook', ntfy: 'alerts.kindNtfy' };

const sameTargets = (a: AlertTarget[], b: AlertTarget[]): boolean => JSON.stringify(a) === JSON.stringify(b);

function AlertsCard({ targets, onChanged }: { targets: AlertTarget[]; onChanged: () => Promise<void> }) {
  // The list as it is being edited; saved only with its button.
  const [list, setList] = useState(targets);
  const save = useAction();
  useEffect(() => setList(targets), [JSON.stringify(targets)]);
  const changed = !sameTargets(list, targets);
  const submit = async () => {
    await save.run(async () => {
      await api.updateSettings({ alertTargets: list });
      await onChanged();
    }, t('alerts.saved'));
  };
  return (
    <Card title={t('alerts.title')} id="alerts">
      <p class="hint">{t('alerts.hint')}</p>
      {list.length === 0 ? (
        <p class="muted">{t('alerts.none')}</p>
      ) : (
        <ul class="rows">
          {list.map((target, i) => (
            <AlertTargetRow
              key={`${i}-${target.url}`}
              number={i + 1}
              target={target}
              onRemove={() => {
                save.clear();
                setList(list.filter((_, j) => j !== i));
              }}
            />
          ))}
        </ul>
      )}
      {list.length < MAX_TARGETS ? (
        <AddAlertTarget
          onAdd={(target) => {
            save.clear();
            setList([...list, target]);
          }}
        />
      ) : (
        <p class="hint">{t('alerts.full', { count: MAX_TARGETS })}</p>
      )}
      <div class="alerts-save">
        <Button variant="primary" icon="check" busy={save.busy} disabled={!changed} onClick={submit}>
          {t('alerts.save')}
        </Button>
        {changed && <span class="muted">{t('alerts.unsaved')}</span>}
      </div>
      <Outcome action={save} />
    </Card>
  );
}

/** Whether a test alert reached its address, with the server's reason when it did not. */
function TestOutcome({ result }: { result: TestAlertResult }) {
  return (
    <p class={`notice ${result.ok ? 'notice-ok' : 'notice-error'}`} role={result.ok ? 'status' : 'alert'}>
      <Icon name={result.ok ? 'check' : 'alarm'} size={18} />
      <span>
        {result.text}
        {result.detail && (
          <small class="notice-detail" lang="en">
            {result.detail}
          </small>
        )}
      </span>
    </p>
  );
}

function useTestAlert(): { busy: boolean; result: TestAlertResult | null; send: (kind: AlertKind, url: string) => Promise<void>; clear: () => void } {
  const [busy, setBusy] = useState(false);
  const [result, setResult] = useState<TestAlertResult | null>(null);
  const send = async (kind: AlertKind, url: string) => {
    setBusy(true);
    setResult(null);
    try {
      await api.sendTestAlert(kind, url);
      setResult(testAlertResult());
    } catch (e) {
      setResult(testAlertResult(e));
    } finally {
      setBusy(false);
    }
  };
  return { busy, result, send, clear: () => setResult(null) };
}

function AlertTargetRow({ number, target, onRemove }: { number: number; target: AlertTarget; onRemove: () => void }) {
  const test = useTestAlert();
  const events = target.events.map((event) => (Object.hasOwn(EVENT_NAMES, event) ? t(EVENT_NAMES[event as keyof typeof EVENT_NAMES], { product: PRODUCT_NAME }) : event));
  return (
    <li class="row" data-testid="alert-target">
      <div class="row-main">
        <span class="row-title alert-url">{target.url}</span>
        <span class="chip">{t(KIND_NAMES[target.kind])}</span>
        <span class="row-meta">{events.length ? t('alerts.tellsAbout', { events: events.join(' · ') }) : t('alerts.noEvents')}</span>
      </div>
      <div class="row-actions">
        <Button small icon="play" busy={test.busy} onClick={() => test.send(target.kind, target.url)} aria-label={t('alerts.sendTestTo', { number })}>
          {t('alerts.sendTest')}
        </Button>
        <Button small icon="trash" variant="ghost" onClick={onRemove} aria-label={t('alerts.removeNumber', { number })}>
          {t('alerts.remove')}
        </Button>
      </div>
      {test.result && <TestOutcome result={test.result} />}
    </li>
  );
}

function AddAlertTarget({ onAdd }: { onAdd: (target: AlertTarget) => void }) {
  const [kind, setKind] = useState<AlertKind>('webhook');
  const [url, setUrl] = useState('');
  const [events, setEvents] = useState<string[]>([...ALERT_EVENTS]);
  const [problem, setProblem] = useState<string | null>(null);
  const [eventsProblem, setEventsProblem] = useState<string | null>(null);
  const submit = (e: Event) => {
    e.preventDefault();
    const wrong = checkAlertUrl(url);
    const none = events.length === 0 ? t('alerts.chooseEvents') : null;
    setProblem(wrong);
    setEventsProblem(none);
    if (wrong || none) return;
    // The events in the order of the list, as the server keeps them.
    onAdd({ kind, url: url.trim(), events: ALERT_EVENTS.filter((event) => events.includes(event)) });
    // The next address starts afresh, with every event.
    setUrl('');
    setEvents([...ALERT_EVENTS]);
  };
  const toggle = (event: string, on: boolean) => setEvents(on ? [...events, event] : events.filter((e) => e !== event));
  return (
    <form class="alert-add" onSubmit={submit} noValidate>
      <h3>{t('alerts.addTitle')}</h3>
      <Field id="alert-kind" label={t('alerts.kind')}>
        <select id="alert-kind" value={kind} onChange={(e) => setKind(e.currentTarget.value as AlertKind)}>
          {(Object.keys(KIND_NAMES) as AlertKind[]).map((option) => (
            <option key={option} value={option}>
              {t(KIND_NAMES[option])}
            </option>
          ))}
        </select>
      </Field>
      <Field id="alert-url" label={t('alerts.address')} hint={kind === 'ntfy' ? t('alerts.addressHintNtfy') : t('alerts.addressHintWebhook')} error={problem}>
        <input id="alert-url" type="url" inputMode="url" spellcheck={false} value={url} onInput={(e) => setUrl(e.currentTarget.value)} {...described('alert-url', problem, true)} />
      </Field>
      <fieldset class="alert-events" aria-describedby={eventsProblem ? 'alert-events-error' : undefined}>
        <legend>{t('alerts.events')}</legend>
        {ALERT_EVENTS.map((event) => (
          <label key={event} class="check">
            <input type="checkbox" checked={events.includes(event)} onChange={(e) => toggle(event, e.currentTarget.checked)} />
            {t(EVENT_NAMES[event], { product: PRODUCT_NAME })}
          </label>
        ))}
        {eventsProblem && (
          <small class="field-error" id="alert-events-error" role="alert">
            {eventsProblem}
          </small>
        )}
      </fieldset>
      <Button type="submit" icon="plus">
        {t('alerts.add')}
      </Button>
    </form>
  );
}
