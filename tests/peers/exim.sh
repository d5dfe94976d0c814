#!/bin/sh
# Starts a private exim daemon for tests: exim.sh <dir> <plain port> <tls port> <user> <password> [queue].
# Root only (exim runs the spool as Debian-exim). Listens on 127.0.0.1: <plain port> without TLS and
# <tls port> with TLS from the first byte (a throwaway certificate), offers AUTH LOGIN accepting only
# <user>/<password>, takes any recipient from loopback and appends every message to <dir>/mail/mailbox.
# With "queue" messages are only queued, never delivered, and the spool lies on tmpfs (timing runs:
# exim syncs every spool file, which would otherwise outweigh the session), removed when exim ends.
# No per-connection lookups: no reverse DNS, no ident call-back, no HELO lookup or verification.
# Its configuration, logs (and otherwise spool) stay in <dir>. Runs in the foreground.
set -eu
dir=$1
plain_port=$2
tls_port=$3
user=$4
password=$5
delivery=-odb
spool=$dir/spool
chmod 755 "$dir"
mkdir -p "$dir/log" "$dir/mail"
if [ "${6:-}" = queue ] && [ -d /dev/shm ]; then
  delivery=-odq
  spool=$(mktemp -d /dev/shm/zt-exim-spool.XXXXXX)
  # exec keeps this shell's pid for exim: a watcher in its own session (the test stops the peer's
  # whole process group) removes the spool once that pid has gone; bounded to two days.
  setsid sh -c 'i=0
    while [ $i -lt 172800 ] && kill -0 "$1" 2>/dev/null; do sleep 1; i=$((i + 1)); done
    rm -rf "$2"' watcher "$$" "$spool" </dev/null >/dev/null 2>&1 &
elif [ "${6:-}" = queue ]; then
  delivery=-odq
fi
mkdir -p "$spool"
touch "$dir/mail/mailbox"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
  -keyout "$dir/key.pem" -out "$dir/cert.pem" >/dev/null 2>&1
chown -R Debian-exim:Debian-exim "$spool" "$dir/log" "$dir/mail" "$dir/key.pem" "$dir/cert.pem"
umask 022
cat > "$dir/exim.conf" <<CONF
primary_hostname = mail.zt-test.example
exim_user = Debian-exim
exim_group = Debian-exim
spool_directory = $spool
log_file_path = $dir/log/%slog
pid_file_path = $dir/exim.pid
keep_environment =
local_interfaces = <; 127.0.0.1
daemon_smtp_ports = $plain_port : $tls_port
tls_on_connect_ports = $tls_port
tls_advertise_hosts = *
tls_certificate = $dir/cert.pem
tls_privatekey = $dir/key.pem
auth_advertise_hosts = *
host_lookup =
rfc1413_hosts =
helo_lookup_domains =
helo_try_verify_hosts =
helo_verify_hosts =
acl_smtp_rcpt = acl_check_rcpt

begin acl
acl_check_rcpt:
  accept hosts = 127.0.0.1
  deny

begin routers
to_mailbox:
  driver = accept
  transport = mailbox_file

begin transports
mailbox_file:
  driver = appendfile
  file = $dir/mail/mailbox
  user = Debian-exim
  envelope_to_add
  return_path_add

begin authenticators
login:
  driver = plaintext
  public_name = LOGIN
  server_prompts = Username:: : Password::
  server_condition = \${if and {{eq{\$auth1}{$user}}{eq{\$auth2}{$password}}}}
  server_set_id = \$auth1
CONF
chown root:root "$dir/exim.conf"
chmod 644 "$dir/exim.conf"
exec /usr/sbin/exim4 -C "$dir/exim.conf" -bdf "$delivery" 2>>"$dir/log/stderr"
